// Any bytes as a settings file, listed as vemtaro-cli show lists it (lines and
// JSON) and compared as vemtaro-cli diff compares it with the file of a fresh
// start under the same version (version 15 for a version without a profile).
//
// Checked: the JSON document is one object; the comparison with the
// fresh file finds a difference exactly when the listings or the bytes for the
// controller differ (the checksum byte, which a write stores anew, aside); and
// what is printed stays within a bound of the input's size (a name of the
// file's trees is repeated once for each of the fields under it).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "json_output.h"
#include "listing/inspect.h"
#include "model/dialogs.h"
#include "model/profiles.h"
#include "window/main_model.h"

namespace {

using namespace vemtaro;

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

struct Listing {
  Inspection inspection;
  std::vector<FlatItem> flat;
};

// The listings of the files of a fresh start, one per version, made once.
const Listing& FreshListing(int version) {
  static const std::array<Listing, kMaxFirmware - kMinFirmware + 1> listings = [] {
    std::array<Listing, kMaxFirmware - kMinFirmware + 1> out;
    SilentDialogs dialogs;
    for (int v = kMinFirmware; v <= kMaxFirmware; ++v) {
      MainModel model(dialogs);
      model.Startup();
      model.ApplyProfile(v);
      const auto bytes = model.SettingsFileBytes();
      Check(bytes.has_value());
      const SettingsFileParse parsed = ParseSettingsFile(*bytes);
      Check(parsed.data.has_value());
      Listing& listing = out[static_cast<std::size_t>(v - kMinFirmware)];
      listing.inspection = InspectSettingsFile(*parsed.data);
      listing.flat = FlattenInspection(listing.inspection);
    }
    return out;
  }();
  const int v = FindProfile(version) != nullptr ? version : kMaxFirmware;
  return listings[static_cast<std::size_t>(v - kMinFirmware)];
}

// What one item may print beyond the names and texts it takes from the input.
constexpr std::size_t kItemBound = 256;

}  // namespace

// An input is a few thousand small strings (names, values, JSON members): the
// sanitizer is spared recording a stack for every allocation and filling it,
// and recycles freed memory sooner; every access is checked as before.
extern "C" const char* __asan_default_options() {
  return "malloc_context_size=2:max_malloc_fill_size=0:quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const SettingsFileParse parsed = ParseSettingsFile(bytes);
  if (!parsed.data) return 0;
  const Inspection listing = InspectSettingsFile(*parsed.data);

  // The lines of show. A line names at most two nodes of the file and shows
  // one text of it, each byte of which becomes at most 3 bytes of UTF-8.
  const std::vector<FlatItem> flat = FlattenInspection(listing);
  std::size_t printed = 0;
  for (const FlatItem& item : flat) printed += item.name.size() + 2 + ValueText(item.value).size() + 1;
  Check(printed <= flat.size() * (kItemBound + 9 * size));

  // The comparison with itself finds nothing.
  Check(DiffInspections(listing, flat, listing, flat).empty());

  // show --json costs five times all the rest of an input (Qt's JSON objects),
  // and diff with the file of a fresh start half of it (a difference for
  // nearly every item of a file with other node names); so an input's size
  // chooses whether it is also given to one of them, to JSON one in sixty-four
  // and to diff one in eight: the fuzzer tries that many more files.
  if (size % 64 == 0) {
    // One object, in a bound of the lines' size (JSON escapes a control
    // character in six bytes).
    const QByteArray json = cli::InspectionJson(listing);
    Check(json.startsWith("{") && json.endsWith("}\n"));
    Check(static_cast<std::size_t>(json.size()) <= 6 * printed + 4096);
  } else if (size % 8 == 1) {
    // A difference exactly when the listings or the bytes for the controller
    // differ (the checksum, which a write stores anew, aside: it is a note).
    const Inspection& fresh = FreshListing(listing.firmware).inspection;
    const std::vector<FlatItem>& freshFlat = FreshListing(listing.firmware).flat;
    const std::vector<InspectDifference> differences = DiffInspections(fresh, freshFlat, listing, flat);
    bool same = freshFlat.size() == flat.size() && fresh.image == listing.image;
    for (std::size_t i = 0; same && i < flat.size(); ++i) {
      same =
          flat[i].key == freshFlat[i].key && flat[i].name == freshFlat[i].name && flat[i].value == freshFlat[i].value;
    }
    if (same) Check(differences.empty());
    if (!same && !HasDifference(differences)) {
      Check(fresh.image.size() == listing.image.size() && !fresh.image.empty());
      Check(std::equal(fresh.image.begin(), fresh.image.end() - 1, listing.image.begin()));
    }
    std::size_t diffPrinted = 0;
    for (const InspectDifference& d : differences) diffPrinted += d.name.size() + d.a.size() + d.b.size() + 6;
    Check(diffPrinted <= (flat.size() + freshFlat.size() + 1) * (2 * kItemBound + 18 * size));
  }
  return 0;
}
