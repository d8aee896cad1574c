// The name and value grammar of vemtaro-cli set: any bytes as lines of
// assignments ("NAME=VALUE" or a line of the listing, "NAME: VALUE"), split as
// set splits them and applied to the started configuration by the program's
// own handlers and tree commands.
//
// Checked: a split keeps every byte of the line (name, separator, value); a
// change that fails says why; whatever is applied, the image keeps the length
// of the version; and when the changes went through, the configuration saves
// to a file whose listing is taken back by the same grammar without a change
// (a '*', the fill of a text field, is refused inside a text, so whatever a
// change stored comes back from the listing).
//
// The main window is started once; each input begins from its started
// configuration (fuzz/started_model.h): set changes no node name, so only an
// input that reshaped the guard entry of the tree opens it again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/settings_edit.h"
#include "files/settings_file.h"
#include "listing/inspect.h"
#include "model/dialogs.h"
#include "model/profiles.h"
#include "started_model.h"
#include "window/main_model.h"

namespace {

using namespace vemtaro;
using fuzzing::Check;

// At most this many assignments an input: each runs handlers of the program.
constexpr std::size_t kMaxAssignments = 16;

struct Window {
  SilentDialogs shown;
  EditDialogs dialogs{shown};
  // The default trees: reactions are named by their nodes.
  fuzzing::StartedModel started{dialogs, false};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Window window;
  MainModel& model = window.started.Fresh();
  const fuzzing::FreshAfterwards afterwards{window.started};
  Check(model.ws.working.bytes() == window.started.image());

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<SettingAssignment> assignments;
  std::size_t start = 0;
  while (start < input.size() && assignments.size() < kMaxAssignments) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view line = input.substr(start, end - start);
    start = end + 1;
    const auto split = SplitAssignment(line);
    if (!split) {
      Check(line.find('=') == std::string_view::npos);
      continue;
    }
    // Nothing of the line is lost: NAME, "=" or ": " (or a final ":"), VALUE.
    const std::size_t rest = line.size() - split->name.size() - split->value.size();
    Check(line.substr(0, split->name.size()) == split->name);
    Check(line.substr(line.size() - split->value.size()) == split->value);
    Check(rest == 1 || rest == 2);
    assignments.push_back(*split);
  }

  const BatchResult result = SetSettings(model, window.dialogs, assignments);
  if (!result.ok) {
    Check(result.failed < assignments.size());
    Check(!result.failure.message.empty());
  }
  const VersionProfile* profile = FindProfile(model.ws.FirmwareVersion);
  Check(profile != nullptr && model.ws.working.size() == profile->imageLength);
  if (!result.ok || model.ws.working.bytes() == window.started.image()) return 0;

  // What went through saves, and its listing is taken back as it stands.
  const auto saved = model.SettingsFileBytes();
  Check(saved.has_value());
  const SettingsFileParse parsed = ParseSettingsFile(*saved);
  Check(parsed.data.has_value());
  std::vector<SettingAssignment> listing;
  for (const FlatItem& item : FlattenInspection(InspectSettingsFile(*parsed.data))) {
    listing.push_back({item.name, ValueText(item.value)});
  }
  const Bytes before = model.ws.working.bytes();
  const BatchResult again = SetSettings(model, window.dialogs, listing);
  Check(again.ok);
  Check(model.ws.working.bytes() == before);
  return 0;
}
