#include "listing/inspect.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "model/cp1251.h"
#include "model/fields.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "trees/reaction_trees.h"
#include "trees/tree.h"

namespace vemtaro {
namespace L = layout;
namespace F = fields;

namespace {

constexpr const char* kAbsent = "(absent)";
constexpr std::string_view kChecksumKey = "checksum";
// The setting kept in byte 5120, "Снятие/постановка по SMS".
constexpr std::string_view kSmsArmingKey = "OhrSMS";

InspectValue Valid(InspectValue::Value v) { return InspectValue{std::move(v), std::nullopt}; }
InspectValue Invalid(std::size_t offset) { return InspectValue{std::string(), offset}; }

// The first offset of a field that lies outside the image, if any.
std::optional<std::size_t> OutsideAt(const ConfigImage& image, std::size_t offset, std::size_t length) {
  if (image.Fits(offset, length)) return std::nullopt;
  return std::max(offset, image.size());
}

InspectValue TextField(const ConfigImage& image, std::size_t offset, std::size_t n) {
  if (const auto at = OutsideAt(image, offset, n)) return Invalid(*at);
  return Valid(image.ReadText(offset, n));
}

// A number as the change handling of CenterPhone and AbonentNo2 takes it: a
// character other than a blank, '+' or a digit empties the edit, so the number
// does not come through; the offset is that of the first such byte.
InspectValue CheckedPhoneField(const ConfigImage& image, std::size_t offset, std::size_t n) {
  if (const auto at = OutsideAt(image, offset, n)) return Invalid(*at);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t c = *image.Byte(offset + i);
    if (c == L::kFill) continue;
    if (c != ' ' && c != '+' && (c < '0' || c > '9')) return Invalid(offset + i);
  }
  return Valid(image.ReadText(offset, n));
}

InspectValue HexPairField(const ConfigImage& image, std::size_t offset) {
  if (const auto at = OutsideAt(image, offset, 2)) return Invalid(*at);
  const auto v = image.ReadHexPair(offset);
  if (!v) return Invalid(offset);
  return Valid(*v);
}

InspectValue MaskPairField(const ConfigImage& image, std::size_t offset) {
  if (const auto at = OutsideAt(image, offset, 2)) return Invalid(*at);
  const auto items = image.ReadMaskPair(offset);
  if (!items) return Invalid(offset);
  return Valid(std::vector<bool>(items->begin(), items->end()));
}

// Characters from a fixed alphabet, shown as they stand; the offset of the
// first byte outside the alphabet when there is one.
template <typename Accept>
InspectValue Letters(const ConfigImage& image, std::size_t offset, std::size_t n, Accept accept) {
  if (const auto at = OutsideAt(image, offset, n)) return Invalid(*at);
  for (std::size_t i = 0; i < n; ++i) {
    if (!accept(*image.Byte(offset + i))) return Invalid(offset + i);
  }
  return Valid(image.Raw(offset, n));
}

InspectValue RelayLetters(const ConfigImage& image, std::size_t offset) {
  return Letters(image, offset, L::kRelayCount,
                 [](std::uint8_t c) { return c == L::kRelayOn || c == L::kRelayOff || c == L::kUnchanged; });
}

InspectValue PhoneSlots(const ConfigImage& image, std::size_t offset) {
  return Letters(image, offset, L::kPhoneSlotCount,
                 [](std::uint8_t c) { return c == L::kUnchanged || (c >= '1' && c <= '9'); });
}

// Raw bytes as they stand (time texts).
InspectValue RawText(const ConfigImage& image, std::size_t offset, std::size_t n) {
  if (const auto at = OutsideAt(image, offset, n)) return Invalid(*at);
  return Valid(Cp1251ToUtf8(image.Raw(offset, n)));
}

// A threshold as it is typed into its entry to store the same bytes: its
// characters up to the last that is not a blank (the entry pads with blanks),
// blanks before and between them kept; a threshold of blanks only is one blank,
// the entry that empties it (an empty entry keeps the old value). The node of
// the tree shows the same characters without their blanks.
InspectValue ThresholdText(const ConfigImage& image, std::size_t offset) {
  if (const auto at = OutsideAt(image, offset, L::kThresholdLength)) return Invalid(*at);
  std::string raw = image.Raw(offset, L::kThresholdLength);
  const std::size_t last = raw.find_last_not_of(' ');
  raw.resize(last == std::string::npos ? 1 : last + 1);
  return Valid(Cp1251ToUtf8(raw));
}

// A field's value as the page shows it once the image is opened.
InspectValue DecodeField(const ConfigImage& in, const F::Field& f, int n, F::Place p) {
  switch (f.codec) {
    case F::Codec::Text: return TextField(in, p.offset, p.length);
    case F::Codec::Phone:
      // Only AbonentNo2 of the subscriber numbers validates its text while the
      // image is shown; CenterPhone always does.
      if (f.id == F::Id::AbonentNo && n != 2) return TextField(in, p.offset, p.length);
      return CheckedPhoneField(in, p.offset, p.length);
    case F::Codec::Count:
      if (const auto b = in.Byte(p.offset)) return Valid(static_cast<int>(*b));
      return Invalid(p.offset);
    case F::Codec::FlagBytes: {
      if (const auto at = OutsideAt(in, p.offset, p.length)) return Invalid(*at);
      std::vector<bool> items;
      for (std::size_t i = 0; i < p.length; ++i) items.push_back(*in.Byte(p.offset + i) != '0');
      return Valid(std::move(items));
    }
    case F::Codec::StatusDigit: {
      // Items "Входы/выходы", "Цифровая шина", "АЦП" from the bits of the status
      // digit '0'..'9', as the program shows them; another byte is unreadable.
      const auto b = in.Byte(p.offset);
      if (const auto kinds = b ? StatusDigitValue(*b) : std::nullopt) {
        return Valid(std::vector<bool>{(*kinds & kStatusInputsBit) != 0, (*kinds & kStatusBusBit) != 0,
                                       (*kinds & kStatusAnalogBit) != 0});
      }
      return Invalid(p.offset);
    }
    case F::Codec::HexPair: return HexPairField(in, p.offset);
    case F::Codec::MaskPair: return MaskPairField(in, p.offset);
    case F::Codec::OnIfOne:
      if (const auto b = in.Byte(p.offset)) return Valid(*b == '1');
      return Invalid(p.offset);
    case F::Codec::OffIfZero:
      if (const auto b = in.Byte(p.offset)) return Valid(*b != '0');
      return Invalid(p.offset);
  }
  return Invalid(p.offset);
}

// The page settings in the order of the pages, each field at its place in the
// version and only in the versions that hold it, as opening a file reads them
// (see Pages::ApplyIncomingImage).
std::vector<InspectItem> DecodeSettings(const ConfigImage& in, int v) {
  std::vector<InspectItem> out;
  std::size_t controls = 0;
  for (const F::Field& f : F::kFields) controls += static_cast<std::size_t>(f.Last() - f.First() + 1);
  out.reserve(controls);
  for (const F::Field& f : F::kFields) {
    // The status digit goes to the controller in every version, and the page
    // changes it from version 11 on, although opening a file reads it only from
    // version 12 on: it is listed from the image in every version.
    if (!f.In(v) && f.id != F::Id::StatusMessages) continue;
    for (int n = f.First(); n <= f.Last(); ++n) out.push_back({f.ControlName(n), DecodeField(in, f, n, f.At(v, n))});
  }
  return out;
}

// A node's text; the default name when no tree was read (the default tree
// replaces one that cannot be read); the node's place, "[3]", when the tree
// read from the file lacks it.
std::string NodeName(const Tree* tree, const TreeNode* node, const std::string& fallback, std::size_t index,
                     std::size_t* missing) {
  if (node != nullptr) return node->text;
  if (tree == nullptr) return fallback;
  if (missing != nullptr) ++*missing;
  return "[" + std::to_string(index + 1) + "]";
}

std::vector<AlarmInspection> DecodeAlarms(const ConfigImage& in, const Tree* tree1, std::size_t& missing) {
  std::vector<AlarmInspection> out;
  const auto flags = in.Byte(L::kAlarmFlags);
  const bool flagsValid = flags && *flags >= '0' && *flags <= '3';
  for (std::size_t a = 0; a < 2; ++a) {
    const std::size_t source = a == 0 ? kAlarmSource1 : kAlarmSource2;
    AlarmInspection alarm;
    alarm.name =
        NodeName(tree1, tree1 != nullptr ? tree1->top(source) : nullptr, DefaultSourceName(source), source, &missing);
    alarm.time = RawText(in, a == 0 ? L::kAlarm1Time : L::kAlarm2Time, L::kTimeTextLength);
    alarm.on = flagsValid ? Valid(((*flags - '0') & (1 << a)) != 0) : Invalid(L::kAlarmFlags);
    alarm.relays = RelayLetters(in, a == 0 ? L::kAlarm1Relays : L::kAlarm2Relays);
    out.push_back(std::move(alarm));
  }
  return out;
}

ReactionInspection DecodeReaction(const ConfigImage& in, std::string name, std::size_t block) {
  ReactionInspection r;
  r.name = std::move(name);
  r.block = block;
  r.relays = RelayLetters(in, block + L::kBlockRelays);
  r.phones = PhoneSlots(in, block + L::kBlockPhones);
  r.sms = TextField(in, block + L::kBlockSms, L::kSmsFieldLength);
  return r;
}

std::vector<ReactionInspection> DecodeTree1(const ConfigImage& in, const Tree* tree, std::size_t& missing) {
  std::vector<ReactionInspection> out;
  out.reserve(2 * L::kSourceCount);
  for (std::size_t s = 0; s < L::kSourceCount; ++s) {
    const TreeNode* source = tree != nullptr ? tree->top(s) : nullptr;
    // The guard source has one event in its Touch Memory shape.
    const std::size_t events = s == L::kGuardSource && source != nullptr && source->childCount() == 1 ? 1 : 2;
    // A reaction lacking its source node counts once.
    std::size_t lacking = 0;
    const std::string sourceName = NodeName(tree, source, DefaultSourceName(s), s, &lacking);
    for (std::size_t e = 0; e < events; ++e) {
      const TreeNode* event = source != nullptr ? source->child(e) : nullptr;
      const std::string eventName = NodeName(tree, event, DefaultEventName(s, e), e, lacking ? nullptr : &missing);
      if (lacking) ++missing;
      out.push_back(DecodeReaction(in, sourceName + "/" + eventName, L::SourceBlock(s, e)));
    }
  }
  return out;
}

std::size_t DefaultChannelCount(int firmware) {
  return (versions::SixteenSensors(firmware) ? 16 : 8) + (versions::HasAnalogInputs(firmware) ? 8 : 0);
}

std::vector<ReactionInspection> DecodeTree2(const ConfigImage& in, const Tree* tree, int firmware,
                                            std::size_t& missing) {
  std::vector<ReactionInspection> out;
  // The channels of the version; channel nodes beyond the sixteenth map to no
  // bytes, and the channels a tree read from the file lacks are listed by place.
  const std::size_t channels =
      std::min(std::max(tree != nullptr ? tree->topCount() : 0, DefaultChannelCount(firmware)), L::kChannelCount);
  out.reserve(channels * L::kStateCount);
  for (std::size_t c = 0; c < channels; ++c) {
    const TreeNode* channel = tree != nullptr ? tree->top(c) : nullptr;
    std::size_t lacking = 0;
    const std::string channelName = NodeName(tree, channel, DefaultChannelName(c, firmware), c, &lacking);
    for (std::size_t e = 0; e < L::kStateCount; ++e) {
      const TreeNode* state = channel != nullptr ? channel->child(e) : nullptr;
      const std::string stateName = NodeName(tree, state, DefaultStateName(e), e, lacking ? nullptr : &missing);
      if (lacking) ++missing;
      ReactionInspection r = DecodeReaction(in, channelName + "/" + stateName, L::ChannelBlock(c, e));
      if (e == 0) r.max = ThresholdText(in, L::MaxThreshold(c));
      if (e == 2) r.min = ThresholdText(in, L::MinThreshold(c));
      out.push_back(std::move(r));
    }
  }
  return out;
}

ChecksumState ChecksumOf(const ConfigImage& image, int firmware) {
  const VersionProfile* profile = FindProfile(firmware);
  if (profile == nullptr || !profile->checksum || image.size() == 0) return ChecksumState::NotUsed;
  return image.bytes().back() == ImageChecksum(image) ? ChecksumState::Matches : ChecksumState::Differs;
}

// The image bytes in which two inspections differ, for two files whose
// settings and reactions all read the same: the bytes that go to the
// controller differ all the same (a '*' inside a text, a status digit '8'
// against '0', a byte no setting reads). A checksum byte that a write stores
// anew is left out. At most kShownBytes offsets are named.
std::optional<InspectDifference> ImageDifference(const Inspection& a, const Inspection& b) {
  constexpr std::size_t kShownBytes = 8;
  const auto hex = [](std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string{kDigits[byte >> 4], kDigits[byte & 0x0F]};
  };
  const std::size_t common = std::min(a.image.size(), b.image.size());
  const std::size_t end =
      common > 0 && a.checksum != ChecksumState::NotUsed && b.checksum != ChecksumState::NotUsed ? common - 1 : common;
  std::vector<std::size_t> offsets;
  std::size_t count = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (a.image[i] == b.image[i]) continue;
    if (offsets.size() < kShownBytes) offsets.push_back(i);
    ++count;
  }
  if (count == 0 && a.image.size() == b.image.size()) return std::nullopt;
  InspectDifference d;
  d.name = "image bytes";
  d.imageBytes = true;
  for (std::size_t k = 0; k < offsets.size(); ++k) {
    d.name += (k == 0 ? " " : ", ") + std::to_string(offsets[k]);
    d.a += (k == 0 ? "" : " ") + hex(a.image[offsets[k]]);
    d.b += (k == 0 ? "" : " ") + hex(b.image[offsets[k]]);
  }
  if (count > offsets.size()) d.name += " and " + std::to_string(count - offsets.size()) + " more";
  if (a.image.size() != b.image.size()) {
    d.name += (count == 0 ? " " : "; ") + std::string("length");
    d.a += (d.a.empty() ? "" : ", ") + std::to_string(a.image.size()) + " bytes";
    d.b += (d.b.empty() ? "" : ", ") + std::to_string(b.image.size()) + " bytes";
  }
  return d;
}

}  // namespace

const char* ChecksumStateText(ChecksumState state) {
  switch (state) {
    case ChecksumState::Matches: return "matches";
    case ChecksumState::Differs: return "differs";
    case ChecksumState::NotUsed: return "not used";
  }
  return "not used";
}

std::string TreeStateText(const TreeInspection& tree) {
  std::string text;
  if (tree.error) {
    text = "unreadable at line " + std::to_string(tree.error->line) + " (offset " + std::to_string(tree.error->offset) +
           "): the default tree is used";
  } else if (tree.nodes == 0) {
    text = "empty";
  } else if (tree.missing > 0) {
    text = "short: " + std::to_string(tree.missing) + (tree.missing == 1 ? " reaction has" : " reactions have") +
           " no node";
  } else {
    text = "whole";
  }
  if (tree.cutAt) {
    text += "; cut at a zero byte at offset " + std::to_string(*tree.cutAt) + ", " +
            std::to_string(tree.bytesAfterCut) + (tree.bytesAfterCut == 1 ? " byte" : " bytes") + " after it not read";
  }
  return text;
}

Inspection InspectSettingsFile(const SettingsFileData& file) {
  Inspection r;
  r.firmware = file.version;

  Tree tree1;
  Tree tree2;
  r.tree1Error = ReadTreeText(file.tree1, tree1);
  r.tree2Error = ReadTreeText(file.tree2, tree2);
  // A tree that cannot be read is replaced by its default tree when the file is
  // opened, so its default names apply.
  const Tree* names1 = r.tree1Error ? nullptr : &tree1;
  const Tree* names2 = r.tree2Error ? nullptr : &tree2;
  auto state = [](const std::string& text, std::size_t section, const std::optional<TreeTextError>& error,
                  const Tree& tree, TreeInspection& out) {
    out.error = error;
    if (out.error) out.error->offset += section;
    out.nodes = error ? 0 : tree.size();
    if (const auto zero = text.find('\0'); zero != std::string::npos) {
      out.cutAt = section + zero;
      out.bytesAfterCut = text.size() - zero - 1;
    }
  };
  state(file.tree1, file.tree1Offset, r.tree1Error, tree1, r.tree1State);
  state(file.tree2, file.tree2Offset, r.tree2Error, tree2, r.tree2State);

  if (!file.image) return r;
  r.hasImage = true;
  ConfigImage image(*file.image);
  if (const VersionProfile* profile = FindProfile(file.version)) image.Resize(profile->imageLength);

  r.image = image.bytes();
  r.checksum = ChecksumOf(image, file.version);
  r.settings = DecodeSettings(image, file.version);
  r.alarms = DecodeAlarms(image, names1, r.tree1State.missing);
  r.tree1 = DecodeTree1(image, names1, r.tree1State.missing);
  r.tree2 = DecodeTree2(image, names2, file.version, r.tree2State.missing);
  return r;
}

std::vector<FlatItem> FlattenInspection(const Inspection& ins) {
  std::vector<FlatItem> out;
  out.reserve(4 + ins.settings.size() + 3 * ins.alarms.size() + 4 * (ins.tree1.size() + ins.tree2.size()));
  out.push_back({"firmware", "firmware", Valid(ins.firmware)});
  out.push_back({std::string(kChecksumKey), "checksum", Valid(std::string(ChecksumStateText(ins.checksum)))});
  out.push_back({"tree1", "tree1", Valid(TreeStateText(ins.tree1State))});
  out.push_back({"tree2", "tree2", Valid(TreeStateText(ins.tree2State))});
  for (const auto& item : ins.settings) out.push_back({item.name, item.name, item.value});
  for (std::size_t a = 0; a < ins.alarms.size(); ++a) {
    const AlarmInspection& alarm = ins.alarms[a];
    const std::string key = "alarm" + std::to_string(a + 1) + "/";
    out.push_back({key + "time", alarm.name + "/time", alarm.time});
    out.push_back({key + "on", alarm.name + "/on", alarm.on});
    out.push_back({key + "relays", alarm.name + "/relays", alarm.relays});
  }
  auto reactions = [&](const char* tree, const std::vector<ReactionInspection>& list) {
    for (const auto& r : list) {
      // The block offset names the position whatever the node texts say.
      const std::string key = std::string(tree) + "@" + std::to_string(r.block) + "/";
      if (r.max) out.push_back({key + "max", r.name + "/max", *r.max});
      if (r.min) out.push_back({key + "min", r.name + "/min", *r.min});
      out.push_back({key + "relays", r.name + "/relays", r.relays});
      out.push_back({key + "phones", r.name + "/phones", r.phones});
      out.push_back({key + "sms", r.name + "/sms", r.sms});
    }
  };
  reactions("tree1", ins.tree1);
  reactions("tree2", ins.tree2);
  return out;
}

std::string ValueText(const InspectValue& value) {
  if (value.invalidOffset) return "invalid (offset " + std::to_string(*value.invalidOffset) + ")";
  struct Visitor {
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(int n) const { return std::to_string(n); }
    std::string operator()(bool b) const { return b ? "yes" : "no"; }
    std::string operator()(const std::vector<bool>& items) const {
      std::string out = "[";
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ' ';
        out += items[i] ? '1' : '0';
      }
      return out + "]";
    }
  };
  return std::visit(Visitor{}, value.value);
}

std::vector<InspectDifference> DiffInspections(const Inspection& a, const Inspection& b) {
  return DiffInspections(a, FlattenInspection(a), b, FlattenInspection(b));
}

std::vector<InspectDifference> DiffInspections(const Inspection& a, const std::vector<FlatItem>& flatA,
                                               const Inspection& b, const std::vector<FlatItem>& flatB) {
  // Derived data: the checksum state, and in an image whose last byte holds
  // both the SMS arming flag and the checksum (5121 bytes) that flag as well,
  // which a write overwrites with the checksum.
  const auto holdsChecksum = [](const Inspection& ins) {
    return ins.checksum != ChecksumState::NotUsed && ins.image.size() == L::kSmsArming + 1;
  };
  const bool armingIsChecksum = holdsChecksum(a) && holdsChecksum(b);
  const auto derived = [&](const std::string& key) {
    return key == kChecksumKey || (armingIsChecksum && key == kSmsArmingKey);
  };
  // Two listings hold their items in the same order up to the first item that
  // one of them lacks; only the items after it are looked up by key.
  std::size_t same = 0;
  while (same < flatA.size() && same < flatB.size() && flatA[same].key == flatB[same].key) ++same;
  std::map<std::string_view, std::size_t> restOfB;
  for (std::size_t i = same; i < flatB.size(); ++i) restOfB.emplace(flatB[i].key, i);

  std::vector<InspectDifference> out;
  std::vector<bool> matched(flatB.size(), false);
  for (std::size_t i = 0; i < flatA.size(); ++i) {
    const FlatItem& item = flatA[i];
    std::size_t j = i;
    if (i >= same) {
      const auto it = restOfB.find(item.key);
      if (it == restOfB.end() || matched[it->second]) {
        out.push_back({item.name, ValueText(item.value), kAbsent});
        continue;
      }
      j = it->second;
    }
    matched[j] = true;
    const FlatItem& other = flatB[j];
    if (item.value == other.value && item.name == other.name) continue;
    const std::string name = item.name == other.name ? item.name : item.name + " [B: " + other.name + "]";
    out.push_back({name, ValueText(item.value), ValueText(other.value), false, derived(item.key)});
  }
  for (std::size_t j = 0; j < flatB.size(); ++j) {
    if (!matched[j]) out.push_back({flatB[j].name, kAbsent, ValueText(flatB[j].value)});
  }
  if (!HasDifference(out)) {
    if (auto bytes = ImageDifference(a, b)) out.push_back(std::move(*bytes));
  }
  return out;
}

bool HasDifference(const std::vector<InspectDifference>& differences) {
  return std::any_of(differences.begin(), differences.end(), [](const InspectDifference& d) { return !d.note; });
}

std::optional<std::string> SettingAtOffset(const SettingsFileData& file, std::size_t offset, std::uint8_t other) {
  if (!file.image || offset >= file.image->size()) return std::nullopt;
  const VersionProfile* profile = FindProfile(file.version);
  if (profile != nullptr && profile->checksum && offset + 1 == file.image->size()) return std::string("checksum");
  const Inspection before = InspectSettingsFile(file);
  const std::vector<FlatItem> flatBefore = FlattenInspection(before);
  // A byte whose replacement happens to decode the same is tried once more with
  // a value no field takes as equal.
  const Bytes& image = *file.image;
  for (const std::uint8_t value : {other, static_cast<std::uint8_t>(image[offset] ^ 0x5A)}) {
    if (value == image[offset]) continue;
    Bytes changedImage = image;
    changedImage[offset] = value;
    SettingsFileData changed;
    changed.version = file.version;
    changed.tree1 = file.tree1;
    changed.tree2 = file.tree2;
    changed.image = std::move(changedImage);
    const std::vector<FlatItem> flatAfter = FlattenInspection(InspectSettingsFile(changed));
    for (std::size_t i = 0; i < flatBefore.size() && i < flatAfter.size(); ++i) {
      if (flatBefore[i].key == "checksum") continue;
      if (!(flatBefore[i].value == flatAfter[i].value)) return flatBefore[i].name;
    }
  }
  return std::nullopt;
}

}  // namespace vemtaro
