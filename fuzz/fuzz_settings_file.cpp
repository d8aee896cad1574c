// Reads any bytes as a settings file. A file the reader accepts is opened by a
// started main window; whatever the open does, saving afterwards must either
// give a file or say why not, and a saved file must open again in a fresh main
// window and save to the same bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/settings_file.h"
#include "main/main_model.h"
#include "model/dialogs.h"

namespace {

using SilentDialogs = vemtaro::SilentDialogs;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const vemtaro::SettingsFileParse parsed = vemtaro::ParseSettingsFile(bytes);
  if (!parsed.data) {
    if (parsed.error.field.empty() || parsed.error.message.empty() || parsed.error.offset > size) {
      __builtin_trap();
    }
    return 0;
  }
  const vemtaro::SettingsFileData& d = *parsed.data;
  if (d.imageOffset > size || (d.image && d.image->size() > size - d.imageOffset)) __builtin_trap();

  SilentDialogs dialogs;
  vemtaro::MainModel model(dialogs);
  model.Startup();
  model.OpenSettingsBytes(bytes);
  std::string error;
  const auto saved = model.SettingsFileBytes(&error);
  if (!saved) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  vemtaro::MainModel again(dialogs);
  again.Startup();
  if (!again.OpenSettingsBytes(*saved)) __builtin_trap();
  const auto resaved = again.SettingsFileBytes();
  if (!resaved || *resaved != *saved) __builtin_trap();
  return 0;
}
