#include "editor/settings_edit.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "listing/inspect.h"
#include "model/cp1251.h"
#include "model/fields.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "trees/reaction_trees.h"
#include "trees/tree_commands.h"

namespace vemtaro {
namespace L = layout;
namespace TT = tree_texts;
namespace C = command_texts;

// ---- Dialogs -----------------------------------------------------------------

void EditDialogs::ShowMessage(const std::string& text) {
  if (collecting_) {
    messages_.push_back(text);
  } else {
    shown_.ShowMessage(text);
  }
}

void EditDialogs::ShowError(const std::string& text) {
  if (collecting_) {
    messages_.push_back(text);
  } else {
    shown_.ShowError(text);
  }
}

void EditDialogs::ShowInformation(const std::string& text) {
  if (collecting_) {
    messages_.push_back(text);
  } else {
    shown_.ShowInformation(text);
  }
}

std::optional<std::string> EditDialogs::InputText(const std::string& caption, const std::string& initial,
                                                  int maxLength) {
  if (!collecting_) return shown_.InputText(caption, initial, maxLength);
  // During a change nobody is asked: the prepared value is the answer, and a
  // question nobody prepared for is cancelled.
  std::optional<std::string> answer = std::move(answer_);
  answer_.reset();
  return answer;
}

void EditDialogs::BeginCollecting() {
  collecting_ = true;
  answer_.reset();
  messages_.clear();
}

std::vector<std::string> EditDialogs::TakeMessages() {
  std::vector<std::string> taken;
  taken.swap(messages_);
  return taken;
}

void EditDialogs::EndCollecting() {
  collecting_ = false;
  answer_.reset();
  messages_.clear();
}

namespace {

// ---- Results and value forms ---------------------------------------------------

SettingResult Ok() { return {}; }

SettingResult Refused(std::string message) {
  SettingResult r;
  r.status = SettingResult::Status::Refused;
  r.message = std::move(message);
  return r;
}

SettingResult Unknown(std::string message) {
  SettingResult r;
  r.status = SettingResult::Status::UnknownName;
  r.message = std::move(message);
  return r;
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& t : texts) {
    if (!out.empty()) out += '\r';
    out += t;
  }
  return out;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A decimal number from 1 to max without sign or leading zero.
std::optional<int> Ordinal(std::string_view text, int max) {
  if (text.empty() || text.size() > 2 || text[0] == '0') return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > max) return std::nullopt;
  return n;
}

// A whole number, clamped to the spin boxes' range as they clamp typed input.
std::optional<int> SpinNumber(std::string_view text) {
  text = Trimmed(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = std::min(n * 10 + (c - '0'), kSpinMax + 1);
  }
  if (negative) n = -n;
  return std::clamp(n, kSpinMin, kSpinMax);
}

std::optional<bool> YesNo(std::string_view text) {
  text = Trimmed(text);
  for (const char* yes : {"yes", "on", "true", "1"}) {
    if (text == yes) return true;
  }
  for (const char* no : {"no", "off", "false", "0"}) {
    if (text == no) return false;
  }
  return std::nullopt;
}

// Check items as the listing shows them, "[1 0 0 1]"; brackets and blanks are
// optional, so "1001" is the same.
std::optional<std::vector<bool>> CheckItems(std::string_view text, std::size_t count) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '[') {
    if (text.back() != ']') return std::nullopt;
    text = text.substr(1, text.size() - 2);
  }
  std::vector<bool> items;
  for (char c : text) {
    if (c == ' ') continue;
    if (c != '0' && c != '1') return std::nullopt;
    items.push_back(c == '1');
  }
  if (items.size() != count) return std::nullopt;
  return items;
}

std::string ItemsText(std::size_t count) {
  std::string example = "[";
  for (std::size_t i = 0; i < count; ++i) example += i == 0 ? "0" : " 0";
  return example + "]";
}

// A text field holds its text and then '*' up to its length, and its text is
// read back as every byte but '*': a '*' inside a text would go to the
// controller but never come back in the listing or the page.
constexpr const char* kFillInText =
    "cannot hold '*': a text field is filled with '*' after its text, so a '*' in the text would be stored but read "
    "back without it";

// What is wrong with a text for a one-line edit of `limit` characters whose
// characters are stored as Windows-1251 bytes; nothing when it fits.
std::optional<std::string> TextProblem(std::string_view text, std::size_t limit, const std::string& where = {}) {
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return "a one-line edit cannot hold line breaks or control characters";
  }
  if (text.find(static_cast<char>(L::kFill)) != std::string_view::npos) return kFillInText;
  if (Cp1251ToUtf8(Utf8ToCp1251(text)) != text) {
    return "has characters that the controller cannot store (the configuration holds Windows-1251 "
           "characters only)";
  }
  if (Utf8Length(text) > limit) {
    return "is too long: at most " + std::to_string(limit) + " characters" + where;
  }
  return std::nullopt;
}

std::string Version(int v) { return "firmware version " + std::to_string(v); }

constexpr const char* kGuardForbidden = "cannot be changed while guard mode is forbidden (Ohr: no)";

// ---- Page controls -----------------------------------------------------------

// clang-format off
enum class Page {
  Firmware, Checksum, TreeState, ObjectID, Password, Abonent, CenterPhone, Spin, StatusSMS, StatusMessages,
  Identifier, MasterKey, Zones, AZones, Ohr, OhrSMS,
};
// clang-format on

struct PageControl {
  Page page;
  int n = 0;  // number of a numbered control
  SpinRow row = SpinRow::Input;
};

// A name made of the prefix and a number 1..max.
std::optional<int> Numbered(std::string_view name, std::string_view prefix, int max) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return std::nullopt;
  return Ordinal(name.substr(prefix.size()), max);
}

// The control of a field of the table; n numbers a control of a row.
PageControl ControlOf(fields::Id id, int n) {
  using fields::Id;
  switch (id) {
    case Id::ObjectID: return {Page::ObjectID};
    case Id::PasswordEdit: return {Page::Password};
    case Id::AbonentNo: return {Page::Abonent, n};
    case Id::CenterPhone: return {Page::CenterPhone};
    case Id::NumOfAttempts: return {Page::Spin, 1, SpinRow::NumOfAttempts};
    case Id::StatusSMS: return {Page::StatusSMS};
    case Id::StatusMessages: return {Page::StatusMessages};
    case Id::Input: return {Page::Spin, n, SpinRow::Input};
    case Id::UInput: return {Page::Spin, n, SpinRow::UInput};
    case Id::AInput: return {Page::Spin, n, SpinRow::AInput};
    case Id::UAInput: return {Page::Spin, n, SpinRow::UAInput};
    case Id::Rele: return {Page::Spin, n, SpinRow::Rele};
    case Id::Vihod: return {Page::Spin, 1, SpinRow::Vihod};
    case Id::ID: return {Page::Identifier, n};
    case Id::MasterKey: return {Page::MasterKey};
    case Id::Zones: return {Page::Zones};
    case Id::AZones: return {Page::AZones};
    case Id::Ohr: return {Page::Ohr};
    case Id::OhrSMS: return {Page::OhrSMS};
  }
  return {Page::Firmware};
}

// The read-only items of the listing, then the controls of the field table by
// their names: a single control by its name, a numbered one by its row's name
// and a number 1..count.
std::optional<PageControl> ParsePage(std::string_view name) {
  static constexpr std::pair<const char*, Page> kFixed[] = {
      {"firmware", Page::Firmware},
      {"checksum", Page::Checksum},
      {"tree1", Page::TreeState},
      {"tree2", Page::TreeState},
  };
  for (const auto& [fixed, page] : kFixed) {
    if (name == fixed) return PageControl{page};
  }
  for (const fields::Field& f : fields::kFields) {
    if (f.count == 0) {
      if (name == f.name) return ControlOf(f.id, 0);
    } else if (const auto n = Numbered(name, f.name, f.count)) {
      return ControlOf(f.id, *n);
    }
  }
  return std::nullopt;
}

bool IsGuardDependent(std::string_view name) {
  using fields::Id;
  for (const Id id : {Id::OhrSMS, Id::Zones, Id::AZones, Id::Vihod}) {
    if (name == fields::Of(id).name) return true;
  }
  return false;
}

// ---- Reaction names ------------------------------------------------------------

enum class Field { Relays, Phones, Sms, Max, Min, Time, On, RelayGroup, RelayItem, PhoneGroup, PhoneItem, SmsGroup };

struct FieldName {
  Field field;
  int item = 0;  // relay 1..16 or phone slot 1..9
};

std::optional<FieldName> ParseField(std::string_view rest) {
  // clang-format off
  static constexpr std::pair<const char*, Field> kPlain[] = {
      {"relays", Field::Relays}, {"phones", Field::Phones}, {"sms", Field::Sms},       {"max", Field::Max},
      {"min", Field::Min},       {"time", Field::Time},     {"on", Field::On},         {TT::kRelays, Field::RelayGroup},
      {TT::kPhones, Field::PhoneGroup}, {TT::kSms, Field::SmsGroup},
  };
  // clang-format on
  for (const auto& [text, field] : kPlain) {
    if (rest == text) return FieldName{field};
  }
  if (const auto k = Numbered(rest, std::string(TT::kRelays) + "/", 16)) return FieldName{Field::RelayItem, *k};
  if (const auto k = Numbered(rest, std::string(TT::kPhones) + "/", 9)) return FieldName{Field::PhoneItem, *k};
  return std::nullopt;
}

// The nodes that hold reactions: an event of Tree1, a state of Tree2, an alarm
// clock and the time node of an alarm clock.
enum class Holder { Event, State, Alarm, AlarmTime };

bool Accepts(Holder holder, Field field, std::size_t state) {
  switch (holder) {
    case Holder::Event:
    case Holder::State:
      if (field == Field::Max) return holder == Holder::State && state == 0;
      if (field == Field::Min) return holder == Holder::State && state == 2;
      return field != Field::Time && field != Field::On;
    case Holder::Alarm: return field == Field::Time || field == Field::On || field == Field::Relays;
    case Holder::AlarmTime: return field == Field::RelayGroup || field == Field::RelayItem;
  }
  return false;
}

struct Target {
  bool tree1 = true;
  TreeNode* node = nullptr;
  Holder holder = Holder::Event;
  FieldName field{Field::Relays};
};

// Every reaction whose name is the given one, found by the node texts as the
// listing joins them: "Source/Event/field", "Channel/State/field", "Alarm/field".
std::vector<Target> Resolve(MainModel& m, std::string_view name) {
  std::vector<Target> found;
  auto consider = [&](bool tree1, TreeNode* node, Holder holder, const std::string& path, std::size_t state) {
    if (name.size() <= path.size() + 1 || name.substr(0, path.size()) != path || name[path.size()] != '/') return;
    const auto field = ParseField(name.substr(path.size() + 1));
    if (field && Accepts(holder, field->field, state)) found.push_back({tree1, node, holder, *field});
  };
  for (std::size_t s = 0; s < std::min(m.Tree1.topCount(), L::kSourceCount); ++s) {
    TreeNode* source = m.Tree1.top(s);
    for (std::size_t e = 0; e < std::min<std::size_t>(source->childCount(), 2); ++e) {
      TreeNode* event = source->child(e);
      consider(true, event, Holder::Event, source->text + "/" + event->text, e);
    }
  }
  for (std::size_t s : {kAlarmSource1, kAlarmSource2}) {
    TreeNode* alarm = m.Tree1.top(s);
    if (alarm == nullptr) continue;
    consider(true, alarm, Holder::Alarm, alarm->text, 0);
    if (TreeNode* time = alarm->child(0)) consider(true, time, Holder::AlarmTime, alarm->text + "/" + time->text, 0);
  }
  for (std::size_t c = 0; c < std::min(m.Tree2.topCount(), L::kChannelCount); ++c) {
    TreeNode* channel = m.Tree2.top(c);
    for (std::size_t e = 0; e < std::min(channel->childCount(), L::kStateCount); ++e) {
      TreeNode* state = channel->child(e);
      consider(false, state, Holder::State, channel->text + "/" + state->text, e);
    }
  }
  return found;
}

TreeNode* ChildWithText(TreeNode* parent, const char* text) {
  if (parent == nullptr) return nullptr;
  for (const auto& child : parent->children()) {
    if (child->text == text) return child.get();
  }
  return nullptr;
}

std::optional<std::uint8_t> RelayCode(std::string_view text) {
  text = Trimmed(text);
  if (text == "Z" || text == C::kRelayOn) return L::kRelayOn;
  if (text == "R" || text == C::kRelayOff) return L::kRelayOff;
  if (text == "N" || text == C::kRelayUnchanged) return L::kUnchanged;
  return std::nullopt;
}

bool IsSlotCode(char c) { return c == static_cast<char>(L::kUnchanged) || (c >= '1' && c <= '9'); }

// "H:MM" or "HH:MM", a time the alarm time window can hold.
bool IsClockTime(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon != 1 && colon != 2) return false;
  if (text.size() != colon + 3) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  }
  const int hours = colon == 1 ? text[0] - '0' : (text[0] - '0') * 10 + (text[1] - '0');
  const int minutes = (text[colon + 1] - '0') * 10 + (text[colon + 2] - '0');
  return hours <= 23 && minutes <= 59;
}

// ---- The editor ----------------------------------------------------------------

class Editor {
 public:
  Editor(MainModel& m, EditDialogs& d) : m_(m), d_(d), pages_(m.pages), v_(m.ws.FirmwareVersion) {}

  SettingResult Set(std::string_view name, std::string_view value) {
    SettingResult r;
    if (const auto page = ParsePage(name)) {
      r = SetPage(*page, name, value);
    } else {
      r = SetReaction(name, value);
    }
    r.notes.insert(r.notes.begin(), notes_.begin(), notes_.end());
    return r;
  }

 private:
  // Runs a handler as the user's action; what it showed refuses the value.
  template <typename Action>
  SettingResult Run(Action action) {
    Note(d_.TakeMessages());
    action();
    const std::vector<std::string> shown = d_.TakeMessages();
    return shown.empty() ? Ok() : Refused(Joined(shown));
  }

  void Note(const std::vector<std::string>& texts) { notes_.insert(notes_.end(), texts.begin(), texts.end()); }

  // ---- Page settings ----

  SettingResult SetPage(const PageControl& c, std::string_view name, std::string_view value) {
    switch (c.page) {
      case Page::Firmware: {
        if (Trimmed(value) == std::to_string(v_)) return Ok();
        return Refused("the configuration is for " + Version(v_) +
                       "; the version is not changed by name (a version switch resets the whole configuration)");
      }
      case Page::Checksum: {
        const std::string_view state = Trimmed(value);
        for (ChecksumState s : {ChecksumState::Matches, ChecksumState::Differs, ChecksumState::NotUsed}) {
          // The checksum is stored when the configuration is written to the
          // controller; the state a listing shows is not a setting.
          if (state == ChecksumStateText(s)) return Ok();
        }
        return Refused("expected matches, differs or not used");
      }
      case Page::TreeState: {
        // What a listing says of a tree text describes the file it came from;
        // the trees themselves are changed by their nodes' names.
        const std::string_view state = Trimmed(value);
        for (const char* word : {"whole", "empty", "short", "unreadable"}) {
          if (state.substr(0, std::string_view(word).size()) == word) return Ok();
        }
        return Refused("expected the state of a tree as a listing shows it: whole, empty, short or unreadable");
      }
      case Page::ObjectID: {
        const std::size_t limit = fields::Of(fields::Id::ObjectID).At(v_).length;
        return SetEdit(pages_.ObjectID, value, limit, " under " + Version(v_), [&] { pages_.ObjectIDExit(); });
      }
      case Page::Password: {
        const bool keeps = value.empty() && !pages_.PasswordEdit.text.empty();
        SettingResult r =
            SetEdit(pages_.PasswordEdit, value, L::kPasswordLength, {}, [&] { pages_.PasswordEditExit(); });
        if (r.ok() && keeps) r.notes.push_back("an empty password leaves the stored password as it is");
        return r;
      }
      case Page::Abonent:
        return SetEdit(pages_.AbonentNo[static_cast<std::size_t>(c.n - 1)], value, PhoneWidth(),
                       " under " + Version(v_), [&] { pages_.AbonentNoExit(c.n); });
      case Page::CenterPhone:
        for (std::size_t row = 0; row < kOperators.size(); ++row) {
          if (value == kOperators[row].name) {
            if (pages_.CenterPhone.text == kOperators[row].phone) return Ok();
            return Run([&] { pages_.ChooseOperator(row); });
          }
        }
        return SetEdit(pages_.CenterPhone, value, PhoneWidth(), " under " + Version(v_),
                       [&] { pages_.CenterPhoneExit(); });
      case Page::Identifier: {
        Edit& edit = pages_.ID[static_cast<std::size_t>(c.n - 1)];
        if (!edit.visible && value != edit.text) {
          return Refused("cannot be changed: ID9 to ID16 are shown only under " + Version(10) +
                         ", and this configuration is for version " + std::to_string(v_));
        }
        return SetIdentifier(edit, value, [&] { pages_.IDExit(c.n); });
      }
      case Page::MasterKey: return SetIdentifier(pages_.MasterKey, value, [&] { pages_.MasterKeyExit(); });
      case Page::Spin: return SetSpin(c, value);
      case Page::StatusSMS: return SetChecks(pages_.StatusSMS, value, {});
      case Page::StatusMessages: return SetStatusKinds(value);
      case Page::Zones: return SetChecks(pages_.Zones, value, kGuardForbidden);
      case Page::AZones:
        return SetChecks(pages_.AZones, value,
                         versions::HasAfterDelays(v_)
                             ? std::string(kGuardForbidden)
                             : "cannot be changed: the analogue zones exist from " + Version(13) +
                                   " on, and this configuration is for version " + std::to_string(v_));
      case Page::Ohr: {
        std::optional<bool> allowed = YesNo(value);
        if (value == pages_.Ohr.items[0]) allowed = true;
        if (value == pages_.Ohr.items[1]) allowed = false;
        if (!allowed) return Refused("'" + std::string(value) + "' is not yes or no");
        const int index = *allowed ? 0 : 1;
        if (pages_.Ohr.index == index) return Ok();
        return Run([&] { pages_.SetOhrIndex(index); });
      }
      case Page::OhrSMS: {
        const auto checked = YesNo(value);
        if (!checked) return Refused("'" + std::string(value) + "' is not yes or no");
        if (pages_.OhrSMS.checked == *checked) return Ok();
        if (!pages_.OhrSMS.enabled) return Refused(kGuardForbidden);
        return Run([&] { pages_.SetOhrSmsChecked(*checked); });
      }
    }
    return Unknown("unknown setting '" + std::string(name) + "'");
  }

  std::size_t PhoneWidth() const { return fields::Of(fields::Id::AbonentNo).At(v_).length; }

  template <typename Exit>
  SettingResult SetEdit(Edit& edit, std::string_view value, std::size_t limit, const std::string& where, Exit exit) {
    if (const auto problem = TextProblem(value, limit, where)) return Refused(*problem);
    if (edit.text == value) return Ok();
    return Run([&] {
      edit.text = std::string(value);
      exit();
    });
  }

  // The identifier's own validation is the handler's (StoreIdentifier); the
  // edit itself takes at most 16 characters.
  template <typename Exit>
  SettingResult SetIdentifier(Edit& edit, std::string_view value, Exit exit) {
    if (value.find(static_cast<char>(L::kFill)) != std::string_view::npos) return Refused(kFillInText);
    if (Utf8Length(value) > L::kIdentifierLength) {
      return Refused("is too long: at most " + std::to_string(L::kIdentifierLength) + " characters");
    }
    if (edit.text == value) return Ok();
    return Run([&] {
      edit.text = std::string(value);
      exit();
    });
  }

  SettingResult SetSpin(const PageControl& c, std::string_view value) {
    const auto number = SpinNumber(value);
    if (!number) return Refused("'" + std::string(value) + "' is not a whole number");
    const SpinId id{c.row, c.n};
    const Spin& spin = pages_.SpinAt(id);
    if (spin.value == *number) return Ok();
    if (c.row == SpinRow::UInput && !pages_.TimeAfterReactionEnabled) {
      return Refused("cannot be changed: the delays after a reaction exist from " + Version(13) +
                     " on, and this configuration is for version " + std::to_string(v_));
    }
    if ((c.row == SpinRow::AInput || c.row == SpinRow::UAInput) && !pages_.TabSheet3Enabled) {
      return Refused("cannot be changed: the analogue inputs exist from " + Version(13) +
                     " on, and this configuration is for version " + std::to_string(v_));
    }
    if (!spin.enabled) return Refused(c.row == SpinRow::Vihod ? kGuardForbidden : "cannot be changed: it is disabled");
    return Run([&] { pages_.SetSpinValue(id, *number); });
  }

  SettingResult SetChecks(CheckGroup& group, std::string_view value, const std::string& disabled) {
    const auto items = CheckItems(value, group.items.size());
    if (!items) {
      return Refused("'" + std::string(value) + "' is not " + std::to_string(group.items.size()) +
                     " check items 0 or 1 such as " + ItemsText(group.items.size()));
    }
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < items->size(); ++i) {
      if (group.checked[i] != (*items)[i]) changed.push_back(i);
    }
    if (changed.empty()) return Ok();
    if (!group.enabled) return Refused(disabled.empty() ? "cannot be changed: it is disabled" : disabled);
    for (std::size_t i : changed) {
      if (!group.itemEnabled[i]) {
        return Refused("cannot change the item \"" + group.items[i] + "\": it is disabled under " + Version(v_));
      }
    }
    return Run([&] {
      for (std::size_t i : changed) pages_.SetItemChecked(group, i, (*items)[i]);
    });
  }

  // The kinds of status message are compared with the status digit, not with
  // the check items: the digit goes to the controller in every version, while
  // under versions 10 and 11 opening a file leaves the items as they were. Each
  // click of an item writes the digit of the items as they are then checked.
  SettingResult SetStatusKinds(std::string_view value) {
    CheckGroup& group = pages_.StatusMessages;
    const auto items = CheckItems(value, group.items.size());
    if (!items) {
      return Refused("'" + std::string(value) + "' is not " + std::to_string(group.items.size()) +
                     " check items 0 or 1 such as " + ItemsText(group.items.size()));
    }
    const auto& w = *items;
    const std::size_t offset = fields::Of(fields::Id::StatusMessages).At(v_).offset;
    const auto stored = StatusDigitValue(ImageAt(offset));
    const int wanted = (w[0] ? kStatusInputsBit : 0) | (w[1] ? kStatusBusBit : 0) | (w[2] ? kStatusAnalogBit : 0);
    constexpr int kBits = kStatusInputsBit | kStatusBusBit | kStatusAnalogBit;
    if (stored && (*stored & kBits) == wanted) return Ok();
    if (!group.enabled)
      return Refused("cannot be changed: the kinds of status message are disabled under " + Version(v_));
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < w.size(); ++i) {
      if (group.checked[i] != w[i]) changed.push_back(i);
    }
    for (std::size_t i : changed) {
      if (!group.itemEnabled[i]) {
        return Refused("cannot change the item \"" + group.items[i] + "\": it is disabled under " + Version(v_));
      }
    }
    return Run([&] {
      for (std::size_t i : changed) pages_.SetItemChecked(group, i, w[i]);
      if (!changed.empty()) return;
      // The items already show the value the digit lacks: the first item
      // clicked off and on again writes it.
      pages_.SetItemChecked(group, 0, !w[0]);
      pages_.SetItemChecked(group, 0, w[0]);
    });
  }

  // ---- Reactions ----

  SettingResult SetReaction(std::string_view name, std::string_view value) {
    const std::vector<Target> targets = Resolve(m_, name);
    if (targets.empty()) return Unknown("unknown setting '" + std::string(name) + "'");
    if (targets.size() > 1) {
      return Unknown("'" + std::string(name) + "' names " + std::to_string(targets.size()) +
                     " reactions: their nodes have the same names");
    }
    const Target& t = targets.front();
    switch (t.field.field) {
      case Field::Relays:
      case Field::RelayGroup: {
        if (value.size() != L::kRelayCount || !std::all_of(value.begin(), value.end(), [](char c) {
              return RelayCode(std::string_view(&c, 1)).has_value();
            })) {
          return Refused("'" + std::string(value) + "' is not 16 relay actions Z, R or N (relay 1 first)");
        }
        std::vector<std::pair<std::size_t, std::uint8_t>> wanted;
        for (std::size_t i = 0; i < L::kRelayCount; ++i) wanted.push_back({i, static_cast<std::uint8_t>(value[i])});
        return SetRelays(t, wanted);
      }
      case Field::RelayItem: {
        const auto code = RelayCode(value);
        if (!code) {
          return Refused("'" + std::string(value) + "' is not a relay action: Z (" + C::kRelayOn + "), R (" +
                         C::kRelayOff + ") or N (" + C::kRelayUnchanged + ")");
        }
        return SetRelays(t, {{static_cast<std::size_t>(t.field.item - 1), *code}});
      }
      case Field::Phones:
      case Field::PhoneGroup: {
        if (value.size() != L::kPhoneSlotCount || !std::all_of(value.begin(), value.end(), IsSlotCode)) {
          return Refused("'" + std::string(value) +
                         "' is not 9 phone slots, each N (none) or a subscriber number 1..9 (slot 1 first)");
        }
        std::array<std::optional<char>, L::kPhoneSlotCount> wanted;
        for (std::size_t i = 0; i < wanted.size(); ++i) wanted[i] = value[i];
        return SetPhones(t, wanted);
      }
      case Field::PhoneItem: {
        const std::string_view slot = Trimmed(value);
        if (slot.size() != 1 || !IsSlotCode(slot[0])) {
          return Refused("'" + std::string(value) + "' is not N (none) or a subscriber number 1..9");
        }
        std::array<std::optional<char>, L::kPhoneSlotCount> wanted;
        wanted[static_cast<std::size_t>(t.field.item - 1)] = slot[0];
        return SetPhones(t, wanted);
      }
      case Field::Sms:
      case Field::SmsGroup: return SetSms(t, value);
      case Field::Max:
      case Field::Min: return SetThreshold(t, value);
      case Field::Time: return SetTime(t, value);
      case Field::On: return SetAlarmOn(t, value);
    }
    return Unknown("unknown setting '" + std::string(name) + "'");
  }

  // The block of an event or state, or the relay field of an alarm clock.
  std::size_t BlockOf(const Target& t) const {
    const TreeNode& top = *t.node->ancestorAt(0);
    if (t.holder == Holder::Alarm || t.holder == Holder::AlarmTime) {
      return top.index() == kAlarmSource1 ? L::kAlarm1Relays : L::kAlarm2Relays;
    }
    const std::size_t e = t.node->index();
    return t.tree1 ? L::SourceBlock(top.index(), e) : L::ChannelBlock(top.index(), e);
  }

  std::uint8_t ImageAt(std::size_t offset) const { return m_.ws.working.Byte(offset).value_or(0); }

  // Expands the node and every node above it, as the user opens the way to it;
  // each expansion refreshes its children from the image.
  void ExpandTo(bool tree1, TreeNode& node) {
    std::vector<TreeNode*> path;
    for (TreeNode* n = &node; n != nullptr && n->parent() != nullptr; n = n->parent()) path.push_back(n);
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
      m_.Expand(tree1 ? TreeKind::Control : TreeKind::Parametric, **it);
    }
    Note(d_.TakeMessages());
  }

  // A mouse press on a node of the target's tree; the menu it opens.
  PopupMenuId Press(bool tree1, TreeNode& node, MouseButton button, bool doubleClick) {
    const SubscriberEdits edits = m_.AbonentEdits();
    return tree1 ? m_.commands.Tree1MouseDown(&node, button, doubleClick, edits)
                 : m_.commands.Tree2MouseDown(&node, button, doubleClick, edits);
  }

  // Presses the node with the right button and runs the item of the menu it opens.
  bool MenuCommand(bool tree1, TreeNode& node, PopupMenuId menu, const std::string& item) {
    if (Press(tree1, node, MouseButton::Right, false) != menu) return false;
    m_.commands.Click(item, {&node});
    m_.commands.PopupClosed();
    return true;
  }

  static SettingResult NoGroup(const char* group, const char* what) {
    return Refused(std::string("has no group \"") + group + "\" (it was renamed), so the program offers no " + what +
                   " there");
  }

  SettingResult SetRelays(const Target& t, const std::vector<std::pair<std::size_t, std::uint8_t>>& wanted) {
    TreeNode* owner = t.holder == Holder::Alarm ? t.node->child(0) : t.node;
    TreeNode* group = ChildWithText(owner, TT::kRelays);
    if (group == nullptr) return NoGroup(TT::kRelays, "relay menu");
    const std::size_t block = BlockOf(t);
    std::vector<std::pair<std::size_t, std::uint8_t>> changed;
    for (const auto& [relay, code] : wanted) {
      if (ImageAt(block + relay) != code) changed.push_back({relay, code});
    }
    if (changed.empty()) return Ok();
    for (const auto& change : changed) {
      if (change.first >= group->childCount()) {
        return Refused("the group \"" + std::string(TT::kRelays) + "\" has no relay " +
                       std::to_string(change.first + 1));
      }
    }
    ExpandTo(t.tree1, *group);
    return Run([&] {
      for (const auto& [relay, code] : changed) {
        const char* item = code == L::kRelayOn ? "N2" : code == L::kRelayOff ? "N3" : "N4";
        MenuCommand(t.tree1, *group->child(relay), PopupMenuId::LMDPopupMenu2, item);
      }
    });
  }

  SettingResult SetPhones(const Target& t, const std::array<std::optional<char>, L::kPhoneSlotCount>& wanted) {
    TreeNode* group = ChildWithText(t.node, TT::kPhones);
    if (group == nullptr) return NoGroup(TT::kPhones, "phone menu");
    if (group->childCount() < L::kPhoneSlotCount) {
      return Refused("the group \"" + std::string(TT::kPhones) + "\" has fewer than 9 slots");
    }
    const std::size_t slots = BlockOf(t) + L::kBlockPhones;
    std::array<char, L::kPhoneSlotCount> now{};
    std::array<char, L::kPhoneSlotCount> after{};
    for (std::size_t i = 0; i < now.size(); ++i) {
      now[i] = static_cast<char>(ImageAt(slots + i));
      after[i] = wanted[i].value_or(now[i]);
    }
    if (after == now) return Ok();
    // A slot is emptied only by "Удалить все", which empties all nine: the
    // others are then chosen again.
    bool clear = false;
    for (std::size_t i = 0; i < now.size(); ++i) clear = clear || (after[i] == 'N' && now[i] != 'N');
    std::vector<std::size_t> assign;
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (after[i] != 'N' && (clear || after[i] != now[i])) assign.push_back(i);
    }
    const SubscriberEdits edits = m_.AbonentEdits();
    for (std::size_t i : assign) {
      if (!IsSlotCode(after[i])) {
        return Refused("slot " + std::to_string(i + 1) +
                       " holds invalid data, which emptying the other slots "
                       "would lose");
      }
      const int k = after[i] - '0';
      if (edits[static_cast<std::size_t>(k - 1)].empty()) {
        return Refused("slot " + std::to_string(i + 1) + ": subscriber number " + std::to_string(k) + " (AbonentNo" +
                       std::to_string(k) + ") is empty, and the phone menu offers only the numbers that are set");
      }
    }
    ExpandTo(t.tree1, *group);
    return Run([&] {
      if (clear) MenuCommand(t.tree1, *group->child(0), PopupMenuId::LMDPopupMenu1, "N1");
      for (std::size_t i : assign) {
        std::string item = "N";  // built by appending: see VersionNumberOf
        item += after[i];
        item += '1';
        MenuCommand(t.tree1, *group->child(i), PopupMenuId::LMDPopupMenu1, item);
      }
    });
  }

  // Enters a text through a double click on the node, as the input dialog's answer.
  SettingResult Entry(bool tree1, TreeNode& node, const std::string& typed) {
    d_.PrepareAnswer(typed);
    SettingResult r = Run([&] { Press(tree1, node, MouseButton::Left, true); });
    if (!d_.AnswerTaken()) return Refused("the program opens no input entry on this node");
    return r;
  }

  SettingResult SetSms(const Target& t, std::string_view value) {
    if (const auto problem = TextProblem(value, kSmsInputLimit)) return Refused(*problem);
    TreeNode* group = ChildWithText(t.node, TT::kSms);
    if (group == nullptr || group->child(0) == nullptr) return NoGroup(TT::kSms, "text entry");
    std::string field = Utf8ToCp1251(value);
    field.resize(L::kSmsFieldLength, static_cast<char>(L::kFill));
    if (m_.ws.working.Raw(BlockOf(t) + L::kBlockSms, L::kSmsFieldLength) == field) return Ok();
    ExpandTo(t.tree1, *group);
    return Entry(t.tree1, *group->child(0), std::string(value));
  }

  SettingResult SetThreshold(const Target& t, std::string_view value) {
    if (Utf8Length(value) > static_cast<std::size_t>(kThresholdInputLimit)) {
      return Refused("is too long: at most " + std::to_string(kThresholdInputLimit) + " characters");
    }
    const bool upper = t.field.field == Field::Max;
    const char* state = upper ? TT::kAboveMax : TT::kBelowMin;
    if (t.node->text != state) {
      return Refused(std::string("the state was renamed, and the program stores a threshold only under \"") + state +
                     "\"");
    }
    TreeNode* valueNode = t.node->child(0);
    const TreeNode* next = t.node->child(1);
    if (valueNode == nullptr || next == nullptr || next->text != TT::kRelays) {
      return Refused("the state has no threshold value node");
    }
    // An empty entry keeps the value the node shows, as the entry dialog does
    // (a blank is what empties a threshold).
    const std::size_t c = t.node->ancestorAt(0)->index();
    std::string field = Utf8ToCp1251(value);
    field.resize(L::kThresholdLength, ' ');
    if (!value.empty() &&
        m_.ws.working.Raw(upper ? L::MaxThreshold(c) : L::MinThreshold(c), L::kThresholdLength) == field) {
      return Ok();
    }
    ExpandTo(t.tree1, *t.node);
    return Entry(t.tree1, *valueNode, std::string(value));
  }

  SettingResult SetTime(const Target& t, std::string_view value) {
    if (!IsClockTime(value)) return Refused("'" + std::string(value) + "' is not a time H:MM or HH:MM");
    const std::string time = value.size() < L::kTimeTextLength ? "0" + std::string(value) : std::string(value);
    const bool first = t.node->index() == kAlarmSource1;
    if (m_.ws.working.Raw(first ? L::kAlarm1Time : L::kAlarm2Time, L::kTimeTextLength) == time) return Ok();
    TreeNode* timeNode = t.node->child(0);
    if (timeNode == nullptr) return Refused("the alarm clock has no time node");
    ExpandTo(true, *t.node);
    bool shown = false;
    SettingResult r = Run([&] {
      shown = MenuCommand(true, *timeNode, PopupMenuId::LMDPopupMenu4, "N17") && m_.commands.Form4.visible;
      if (!shown) return;
      m_.commands.Form4.RzDateTimeEdit1 = std::string(value);
      m_.commands.Form4.Button1Click();
    });
    if (!shown) return Refused("the program opens no time window on this node");
    return r;
  }

  SettingResult SetAlarmOn(const Target& t, std::string_view value) {
    const auto on = YesNo(value);
    if (!on) return Refused("'" + std::string(value) + "' is not yes or no");
    const int bit = t.node->index() == kAlarmSource1 ? 1 : 2;
    const std::uint8_t flags = ImageAt(L::kAlarmFlags);
    if (flags >= '0' && flags <= '9' && (((flags - '0') & bit) != 0) == *on) return Ok();
    bool offered = false;
    SettingResult r = Run([&] { offered = MenuCommand(true, *t.node, PopupMenuId::LMDPopupMenu3, "N18"); });
    if (!offered) return Refused("the program offers no alarm switch on this node");
    return r;
  }

  MainModel& m_;
  EditDialogs& d_;
  Pages& pages_;
  const int v_;
  std::vector<std::string> notes_;
};

}  // namespace

// ---- Public functions ------------------------------------------------------------

SettingResult SetSetting(MainModel& model, EditDialogs& dialogs, std::string_view name, std::string_view value) {
  // The handlers show their messages through the model's own dialogs: only
  // when those are `dialogs` are the messages collected and the input
  // dialogs answered.
  if (&model.dialogs() != &dialogs) return Refused("the configuration was not opened for changes by name");
  dialogs.BeginCollecting();
  SettingResult r = Editor(model, dialogs).Set(name, value);
  dialogs.EndCollecting();
  return r;
}

bool IsPageSettingName(std::string_view name) { return ParsePage(name).has_value(); }

bool LooksLikeSettingName(std::string_view name) {
  if (IsPageSettingName(name)) return true;
  for (std::size_t slash = name.find('/'); slash != std::string_view::npos; slash = name.find('/', slash + 1)) {
    if (slash > 0 && ParseField(name.substr(slash + 1))) return true;
  }
  return false;
}

std::optional<SettingAssignment> SplitAssignment(std::string_view text) {
  std::optional<SettingAssignment> first;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::optional<SettingAssignment> candidate;
    if (text[i] == '=') {
      candidate = SettingAssignment{std::string(text.substr(0, i)), std::string(text.substr(i + 1))};
    } else if (text[i] == ':' && i + 1 == text.size()) {
      candidate = SettingAssignment{std::string(text.substr(0, i)), std::string()};
    } else if (text[i] == ':' && text[i + 1] == ' ') {
      candidate = SettingAssignment{std::string(text.substr(0, i)), std::string(text.substr(i + 2))};
    }
    if (!candidate) continue;
    if (LooksLikeSettingName(candidate->name)) return candidate;
    if (!first) first = std::move(candidate);
  }
  // No separator is followed by a known form: the first one names what is unknown.
  return first;
}

BatchResult SetSettings(MainModel& model, EditDialogs& dialogs, const std::vector<SettingAssignment>& assignments) {
  const std::size_t n = assignments.size();
  const std::string_view ohr = fields::Of(fields::Id::Ohr).name;
  const std::string_view vihod = fields::Of(fields::Id::Vihod).name;
  enum class Kind { Ohr, Dependent, Page, Reaction };
  std::vector<Kind> kinds;
  for (const auto& a : assignments) {
    kinds.push_back(a.name == ohr               ? Kind::Ohr
                    : IsGuardDependent(a.name)  ? Kind::Dependent
                    : IsPageSettingName(a.name) ? Kind::Page
                                                : Kind::Reaction);
  }
  // The order of application: each Ohr moves within the page settings around it
  // (up to another Ohr or a reaction), before the guard settings it enables or
  // after those it disables.
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  for (std::size_t i = 0; i < n; ++i) {
    if (kinds[i] != Kind::Ohr) continue;
    const auto allowed = YesNo(assignments[i].value);
    const bool forbids = (allowed && !*allowed) || assignments[i].value == model.pages.Ohr.items[1];
    const bool allows = (allowed && *allowed) || assignments[i].value == model.pages.Ohr.items[0];
    const auto at = static_cast<std::size_t>(std::find(order.begin(), order.end(), i) - order.begin());
    std::optional<std::size_t> to;
    if (allows) {
      for (std::size_t p = at; p-- > 0;) {
        const Kind k = kinds[order[p]];
        if (k == Kind::Ohr || k == Kind::Reaction) break;
        if (k == Kind::Dependent) to = p;
      }
    } else if (forbids) {
      for (std::size_t p = at + 1; p < n; ++p) {
        const Kind k = kinds[order[p]];
        if (k == Kind::Ohr || k == Kind::Reaction) break;
        if (k == Kind::Dependent && assignments[order[p]].name != vihod) to = p;
      }
    }
    if (!to) continue;
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(at));
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(*to), i);
  }

  BatchResult batch;
  for (std::size_t i : order) {
    const SettingAssignment& a = assignments[i];
    SettingResult r = SetSetting(model, dialogs, a.name, a.value);
    for (const auto& note : r.notes) batch.notes.push_back(a.name + ": " + note);
    if (!r.ok()) {
      batch.ok = false;
      batch.failed = i;
      batch.failure = std::move(r);
      return batch;
    }
  }
  // Forbidding guard mode sets the arming delay to 0.
  for (std::size_t i = n; i-- > 0;) {
    if (assignments[i].name != vihod) continue;
    const auto wanted = SpinNumber(assignments[i].value);
    if (wanted && *wanted != model.pages.Vihod.value) {
      batch.ok = false;
      batch.failed = i;
      batch.failure =
          Refused("the arming delay does not keep " + std::to_string(*wanted) +
                  ": forbidding guard mode (Ohr: no) sets it to " + std::to_string(model.pages.Vihod.value));
    }
    break;
  }
  return batch;
}

}  // namespace vemtaro
