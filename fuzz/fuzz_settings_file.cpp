// Reads any bytes as a settings file. A file the reader accepts is opened by a
// started main window; whatever the open does, saving afterwards must either
// give a file or say why not, and a saved file must open again in another main
// window and save to the same bytes.
//
// Both windows are started once (fuzz/started_model.h) and begin every input
// from the started configuration. A tree text that cannot be read is replaced
// by the default tree of thousands of nodes (messages 101 and 102); the round
// trip of such a file, whose cost is that of the default trees, is left out:
// the default trees are saved and read again by the unit tests.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/settings_file.h"
#include "model/dialogs.h"
#include "started_model.h"
#include "window/main_model.h"

using vemtaro::fuzzing::Check;

namespace {

// Tells whether an open replaced a tree by its default tree.
class TreeErrors : public vemtaro::SilentDialogs {
 public:
  void ShowError(const std::string& text) override {
    defaultTree = defaultTree || text == vemtaro::main_texts::kTree1Error || text == vemtaro::main_texts::kTree2Error;
  }
  bool defaultTree = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const vemtaro::SettingsFileParse parsed = vemtaro::ParseSettingsFile(bytes);
  if (!parsed.data) {
    Check(!parsed.error.field.empty() && !parsed.error.message.empty() && parsed.error.offset <= size);
    return 0;
  }
  const vemtaro::SettingsFileData& d = *parsed.data;
  Check(d.imageOffset <= size && (!d.image || d.image->size() <= size - d.imageOffset));

  static TreeErrors dialogs;
  dialogs.defaultTree = false;
  static vemtaro::fuzzing::StartedModel first(dialogs, true);
  static vemtaro::fuzzing::StartedModel second(dialogs, true);
  vemtaro::MainModel& model = first.Fresh();
  const vemtaro::fuzzing::FreshAfterwards firstAfterwards{first};
  const vemtaro::fuzzing::FreshAfterwards secondAfterwards{second};
  model.OpenSettingsBytes(bytes);
  std::string error;
  const auto saved = model.SettingsFileBytes(&error);
  if (!saved) {
    Check(!error.empty());
    return 0;
  }
  if (dialogs.defaultTree) return 0;
  vemtaro::MainModel& again = second.Fresh();
  Check(again.OpenSettingsBytes(*saved));
  const auto resaved = again.SettingsFileBytes();
  Check(resaved && *resaved == *saved);
  return 0;
}
