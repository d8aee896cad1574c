// A structured description of everything a settings file holds: the firmware
// version, the checksum state, every page setting under its control name with
// the value the page shows once the file is opened, the two alarm clocks and
// every reaction of both trees under the names of the file's tree texts.
//
// It is data only, so that listing a file and comparing two files decode the
// same way. Values that do not decode are kept as invalid items with the image
// offset that failed, so a damaged field is reported, never skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "files/settings_file.h"
#include "files/tree_text.h"

namespace vemtaro {

// Whether the last byte of the image holds its checksum.
enum class ChecksumState { Matches, Differs, NotUsed };
// "matches", "differs", "not used".
const char* ChecksumStateText(ChecksumState state);

// One decoded value: a text, a number, an on/off state, or the items of a check
// group in item order. An invalid value carries the image offset that failed.
struct InspectValue {
  using Value = std::variant<std::string, int, bool, std::vector<bool>>;
  Value value;
  std::optional<std::size_t> invalidOffset;

  bool valid() const { return !invalidOffset; }
  bool operator==(const InspectValue&) const = default;
};

// A page setting under its control name.
struct InspectItem {
  std::string name;
  InspectValue value;
};

struct AlarmInspection {
  std::string name;     // the alarm clock's node in Tree1
  InspectValue time;    // the time text as it stands
  InspectValue on;      // from the alarm digit
  InspectValue relays;  // 16 relay letters
};

// The reaction to one event (Tree1) or one channel state (Tree2).
struct ReactionInspection {
  std::string name;                 // "Source/Event" or "Channel/State"
  std::size_t block = 0;            // image offset of the reaction block
  InspectValue relays;              // 16 letters Z, R, N
  InspectValue phones;              // 9 characters N or 1..9
  InspectValue sms;                 // the SMS text
  std::optional<InspectValue> max;  // Tree2, "above MAX" state: the upper threshold
  std::optional<InspectValue> min;  // Tree2, "below MIN" state: the lower threshold
};

// What a tree text of the file holds, as opening the file takes it.
struct TreeInspection {
  // Nodes read from the text (those of the default tree when it is unreadable).
  std::size_t nodes = 0;
  // Reactions of the listing whose source, event, channel or state node the
  // tree lacks; they are named by their place, "[3]/[2]".
  std::size_t missing = 0;
  // Where the text could not be read; the default tree replaces it then.
  std::optional<TreeTextError> error;
  // File offset of a zero byte that ends the text early: the bytes after it
  // are not read, and a file saved after opening this one lacks them.
  std::optional<std::size_t> cutAt;
  std::size_t bytesAfterCut = 0;

  // Whether saving the file after opening it keeps every node it holds.
  bool readWhole() const { return !error && !cutAt; }
};

// The state as the listing shows it: "whole", "empty", "short: 12 reactions
// have no node", "unreadable at line 3 (offset 120): the default tree is
// used", with "; cut at a zero byte at offset 90, 15000 bytes after it are not
// read" where the text stops early.
std::string TreeStateText(const TreeInspection& tree);

struct Inspection {
  int firmware = 0;
  ChecksumState checksum = ChecksumState::NotUsed;
  // False when the image length field is not a number: nothing but the version
  // and the tree names can be described then.
  bool hasImage = false;
  // Where a tree text failed to read; its default names are used instead.
  std::optional<TreeTextError> tree1Error;
  std::optional<TreeTextError> tree2Error;
  // What each tree text holds.
  TreeInspection tree1State;
  TreeInspection tree2State;
  std::vector<InspectItem> settings;
  std::vector<AlarmInspection> alarms;
  std::vector<ReactionInspection> tree1;
  std::vector<ReactionInspection> tree2;
  // The image as opening the file takes it: what goes to the controller.
  std::vector<std::uint8_t> image;
};

// Decodes a parsed settings file. The image is taken as opening the file takes
// it: cut or zero-padded to the length of the file's version profile (kept as it
// is for a version without a profile), and read with the version's branches.
Inspection InspectSettingsFile(const SettingsFileData& file);

// Every value of an inspection in one ordered list: firmware, checksum, the
// states of the two trees ("tree1", "tree2"), the settings, the alarm clocks, then the reactions field by field. The
// key is stable across files (it names the position, not the node text); the name is what is shown.
struct FlatItem {
  std::string key;
  std::string name;
  InspectValue value;
};
std::vector<FlatItem> FlattenInspection(const Inspection& inspection);

// A value as one line of text: texts as they are, numbers in decimal, on/off
// as "yes"/"no", check groups as "[1 0 ...]" in item order, and an invalid
// value as "invalid (offset N)".
std::string ValueText(const InspectValue& value);

// One difference between two inspections: the item's name (both names when a
// tree node was renamed) and the two values as text; "(absent)" when one side
// has no such item. A differing checksum state is listed as a note (see note). Two images whose settings and reactions
// all read the same but whose bytes differ (the checksum byte aside) give one difference, "image bytes 4737, 4740" with
// the bytes in hexadecimal ("2A 42" -> "42 2A"), at most eight offsets named and the number of the others.
struct InspectDifference {
  std::string name;
  std::string a;
  std::string b;
  // The last line of a comparison whose settings all read the same: the image
  // bytes that differ all the same, named by offset.
  bool imageBytes = false;
  // Derived data, shown but no difference of its own: the checksum state,
  // which follows from the other bytes and which a write stores anew, and in
  // a 5121-byte image with a checksum OhrSMS, whose byte the checksum takes.
  // So a file written to the controller and read back compares equal.
  bool note = false;
};
// Whether a comparison found a difference other than a note.
bool HasDifference(const std::vector<InspectDifference>& differences);
std::vector<InspectDifference> DiffInspections(const Inspection& a, const Inspection& b);
// The same for inspections already flattened (FlattenInspection of a and b).
std::vector<InspectDifference> DiffInspections(const Inspection& a, const std::vector<FlatItem>& flatA,
                                               const Inspection& b, const std::vector<FlatItem>& flatB);

// The setting or reaction that an image byte of the file belongs to, named as
// the listing names it ("AbonentNo3", "Вход 3/Замыкание/relays"), found by
// decoding the image with that byte replaced by `other`; "checksum" for the
// checksum byte; nothing when the byte belongs to no decoded field.
std::optional<std::string> SettingAtOffset(const SettingsFileData& file, std::size_t offset, std::uint8_t other);

}  // namespace vemtaro
