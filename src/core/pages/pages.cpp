#include "pages/pages.h"

#include "model/cp1251.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace L = layout;

namespace {

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

CheckGroup MakeGroup(const char* name, const char* caption, std::vector<std::string> items) {
  CheckGroup g;
  g.name = name;
  g.caption = caption;
  g.checked.assign(items.size(), false);
  g.itemEnabled.assign(items.size(), true);
  g.items = std::move(items);
  return g;
}

CheckStates StatesOf(const CheckGroup& g) {
  CheckStates s{};
  for (std::size_t i = 0; i < s.size() && i < g.checked.size(); ++i) s[i] = g.checked[i];
  return s;
}

std::vector<std::string> ZoneItems() {
  std::vector<std::string> items;
  for (int i = 1; i <= 8; ++i) items.push_back(std::to_string(i));
  return items;
}

struct UnitCaptions {
  const char* label7;
  const char* label8;
  const char* label1;
  const char* label5;
  const char* relays;
};
constexpr UnitCaptions kHalfSecond = {
    "Задержка реакции по аналоговым входам\n(1 ед. = 0.5 сек)",
    "Задержки аналоговых входов после реакции\n(1 ед. = 0,5 сек)",
    "Задержки реакции по контактным входам\n(1 ед. = 0,5 сек)",
    "Задержки контактных входов после реакции\n(1 ед. = 0,5 сек)",
    "Длительность включения реле (1 ед.=0.5 сек)"};
constexpr UnitCaptions kOneSecond = {
    "Задержка реакции по аналоговым входам\n(1 ед. = 1 сек)",
    "Задержки аналоговых входов после реакции\n(1 ед. = 1 сек)",
    "Задержки реакции по контактным входам\n(1 ед. = 1 сек)",
    "Задержки контактных входов после реакции\n(1 ед. = 1 сек)",
    "Длительность включения реле (1 ед.=1 сек)"};

}  // namespace

std::optional<std::size_t> FirstBadPhoneChar(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != ' ' && c != '+' && (c < '0' || c > '9')) return i;
  }
  return std::nullopt;
}

Pages::Pages(Workspace& ws, Tree& tree1, Tree& tree2, UserDialogs& dialogs)
    : ws_(ws), tree1_(tree1), tree2_(tree2), dialogs_(dialogs) {
  ObjectID = {"ObjectID", "", 10};
  PasswordEdit = {"PasswordEdit", "", static_cast<int>(L::kPasswordLength)};
  for (int k = 1; k <= 9; ++k) AbonentNo[k - 1] = {Numbered("AbonentNo", k), "", 16};
  CenterPhone = {"CenterPhone", "", 16};
  NumOfAttempts = {"NumOfAttempts", 5};
  StatusSMS = MakeGroup("StatusSMS", "Отправка статусного сообщения (часы)",
                        {"00:00", "06:00", "12:00", "18:00"});
  StatusMessages = MakeGroup("StatusMessages", "Статусные сообщения",
                             {"Входы/выходы", "Цифровая шина", "АЦП (аналоговые входы)"});
  for (int n = 1; n <= 8; ++n) {
    Input[n - 1].name = Numbered("Input", n);
    UInput[n - 1].name = Numbered("UInput", n);
    AInput[n - 1].name = Numbered("AInput", n);
    UAInput[n - 1].name = Numbered("UAInput", n);
  }
  for (int n = 1; n <= 16; ++n) {
    Rele[n - 1].name = Numbered("Rele", n);
    PanelVisible[n - 1] = true;
  }
  Vihod.name = "Vihod";
  Label1 = {"Label1", "Задержки реакции по контактным входам \n(1 ед. = 0,5 сек)"};
  Label5 = {"Label5", "Задержки контактных входов после реакции \n(1 ед. = 0,5 сек)"};
  Label7 = {"Label7", "Задержка реакции по аналоговым входам\n(1 ед. = 0,5 сек)"};
  Label8 = {"Label8", "Задержки аналоговых входов после реакции \n(1 ед. = 0,5 сек)"};
  RzGroupBox2 = {"RzGroupBox2", "Длительность включения реле (1 ед.=0.5сек)"};
  for (int k = 1; k <= 16; ++k) ID[k - 1] = {Numbered("ID", k), "", 16};
  for (int k = 0; k < 8; ++k) IdLabels[k] = {Numbered("Label", 19 + k), Numbered("ID", 9 + k)};
  Ohr = {"Ohr", "Режим охраны", {"Режим разрешен", "Режим запрещен"}, 0};
  OhrSMS = {"OhrSMS", "Снятие/постановка по SMS"};
  Zones = MakeGroup("Zones", "Снимаемые зоны (контактные датчики)", ZoneItems());
  AZones = MakeGroup("AZones", "Снимаемые зоны (аналоговые датчики)", ZoneItems());
  MasterKey = {"MasterKey", "", 16};
}

// ---- Common settings -------------------------------------------------------

namespace {
std::size_t ObjectIdWidth(int firmware) {
  return versions::LongObjectId(firmware) ? L::kObjectIdLongLength : L::kObjectIdShortLength;
}
}  // namespace

void Pages::ObjectIDExit() {
  // The whole field of the version takes the text and its fill, so that
  // nothing of an earlier, longer text stays behind it.
  const int v = ws_.FirmwareVersion;
  ws_.working.WriteText(versions::LongObjectId(v) ? L::kObjectIdLong : L::kObjectIdShort, ObjectIdWidth(v),
                        ObjectID.text);
}

void Pages::FitObjectIdToVersion() {
  const std::size_t width = ObjectIdWidth(ws_.FirmwareVersion);
  ObjectID.maxLength = static_cast<int>(width);
  // The edit never shows more than the version's field holds.
  ObjectID.text = Utf8Left(ObjectID.text, width);
}

void Pages::PasswordEditExit() {
  if (PasswordEdit.text.empty()) return;
  ws_.working.WriteText(L::kPassword, L::kPasswordLength, PasswordEdit.text);
}

void Pages::StorePhone(int k, const std::string& text) {
  const bool longPhones = versions::LongPhones(ws_.FirmwareVersion);
  const std::size_t width = longPhones ? L::kPhoneLongLength : L::kPhoneShortLength;
  const std::size_t offset =
      (longPhones ? L::kPhonesLong : L::kPhonesShort) + width * static_cast<std::size_t>(k - 1);
  if (!text.empty()) {
    ws_.abonents[k - 1] = Utf8Left(text, 16);
  } else {
    // Every phone slot of every reaction block that selects number k is emptied.
    const auto digit = static_cast<std::uint8_t>('0' + k);
    for (std::size_t b = 0; b < L::kReactionBlockCount; ++b) {
      for (std::size_t s = 0; s < L::kPhoneSlotCount; ++s) {
        const std::size_t at = b * L::kBlockLength + L::kBlockPhones + s;
        if (ws_.working.Byte(at) == digit) ws_.working.SetByte(at, L::kUnchanged);
      }
    }
    ws_.abonents[k - 1].clear();
  }
  ws_.working.WriteText(offset, width, text);
}

void Pages::AbonentNoExit(int k) {
  if (k < 1 || k > 9) return;
  Edit& edit = AbonentNo[k - 1];
  if (!edit.text.empty() && FirstBadPhoneChar(edit.text)) {
    dialogs_.ShowMessage(page_texts::kWrongNumber);
    edit.text.clear();
  }
  StorePhone(k, edit.text);
}

void Pages::AbonentNoChange(int k) {
  if (k == 2) AbonentNoExit(k);
}

void Pages::CenterPhoneExit() {
  if (!CenterPhone.text.empty() && FirstBadPhoneChar(CenterPhone.text)) {
    dialogs_.ShowMessage(page_texts::kWrongNumber);
    // Emptying the edit is itself a change, which stores the empty number.
    CenterPhone.text.clear();
  }
  const bool longPhones = versions::LongPhones(ws_.FirmwareVersion);
  ws_.working.WriteText(longPhones ? L::kCenterPhoneLong : L::kCenterPhoneShort,
                        longPhones ? L::kPhoneLongLength : L::kPhoneShortLength, CenterPhone.text);
}

void Pages::SetCenterPhoneText(const std::string& text) {
  if (CenterPhone.text == text) return;
  CenterPhone.text = text;
  CenterPhoneExit();
}

void Pages::ChooseOperator(std::size_t row) {
  if (row < kOperators.size()) SetCenterPhoneText(kOperators[row].phone);
}

void Pages::NumOfAttemptsChange() {
  ws_.working.SetByte(L::kNumOfAttempts, static_cast<std::uint8_t>(NumOfAttempts.value));
}

void Pages::StatusSMSChange() {
  if (statusSmsSuppressed_) return;
  for (std::size_t i = 0; i < L::kStatusSmsCount; ++i) {
    ws_.working.WriteFlag(L::kStatusSms + i, StatusSMS.checked[i]);
  }
}

void Pages::StatusMessagesChange(int index) {
  if (index < 0 || index > 2) return;
  // The digit becomes that of the items as they are checked now: flipping the
  // item's bit alone would turn a '8' or '9' read from a controller into a
  // byte that is no digit ('<', ':', '=', ';'), which no image may hold.
  ws_.working.SetByte(L::kStatusMessages, StatusDigit(StatusMessages.checked[0], StatusMessages.checked[1],
                                                      StatusMessages.checked[2]));
}

void Pages::ApplyStatusMessageKinds(int value) {
  if (value < 0 || value > 9) return;
  // The controller reads the three kinds from the low bits of the digit's
  // value, of a '8' or '9' as well.
  SetItemChecked(StatusMessages, 0, value & kStatusInputsBit);
  SetItemChecked(StatusMessages, 2, value & kStatusAnalogBit);
  SetItemChecked(StatusMessages, 1, value & kStatusBusBit);
}

// ---- Delays and relays ------------------------------------------------------

void Pages::InputsChangeTime(int n) {
  ws_.working.WriteHexPair(L::kInputDelays + 2 * static_cast<std::size_t>(n - 1), Input[n - 1].value);
}

void Pages::UInputUChange(int n) {
  ws_.working.WriteHexPair(L::kInputAfterDelays + 2 * static_cast<std::size_t>(n - 1),
                           UInput[n - 1].value);
}

void Pages::AInput1Change(int n) {
  ws_.working.WriteHexPair(L::kAnalogDelays + 2 * static_cast<std::size_t>(n - 1), AInput[n - 1].value);
}

void Pages::UAInput1Change(int n) {
  ws_.working.WriteHexPair(L::kAnalogAfterDelays + 2 * static_cast<std::size_t>(n - 1),
                           UAInput[n - 1].value);
}

void Pages::TimeReleChange(int n) {
  PanelVisible[n - 1] = Rele[n - 1].value == 0;
  ws_.working.WriteHexPair(L::kReleDurations + 2 * static_cast<std::size_t>(n - 1), Rele[n - 1].value);
}

void Pages::VihodZaderzhka() { ws_.working.WriteHexPair(L::kArmingDelay, Vihod.value); }

Spin& Pages::SpinAt(SpinId id) {
  const auto i = static_cast<std::size_t>(id.n - 1);
  switch (id.row) {
    case SpinRow::Input: return Input.at(i);
    case SpinRow::UInput: return UInput.at(i);
    case SpinRow::AInput: return AInput.at(i);
    case SpinRow::UAInput: return UAInput.at(i);
    case SpinRow::Rele: return Rele.at(i);
    case SpinRow::Vihod: return Vihod;
    case SpinRow::NumOfAttempts: return NumOfAttempts;
  }
  return Vihod;
}

void Pages::SetSpinValue(SpinId id, int value) {
  Spin& spin = SpinAt(id);
  const int v = value < kSpinMin ? kSpinMin : (value > kSpinMax ? kSpinMax : value);
  if (spin.value == v) return;
  spin.value = v;
  switch (id.row) {
    case SpinRow::Input: InputsChangeTime(id.n); break;
    case SpinRow::UInput: UInputUChange(id.n); break;
    case SpinRow::AInput: AInput1Change(id.n); break;
    case SpinRow::UAInput: UAInput1Change(id.n); break;
    case SpinRow::Rele: TimeReleChange(id.n); break;
    case SpinRow::Vihod: VihodZaderzhka(); break;
    case SpinRow::NumOfAttempts: NumOfAttemptsChange(); break;
  }
}

void Pages::SpinButton(SpinId id, int direction) {
  const Spin& spin = SpinAt(id);
  SetSpinValue(id, spin.value + (direction < 0 ? -spin.step : spin.step));
}

void Pages::ReleMouseDown(SpinId id, bool ctrlHeld, bool rightButton) {
  // The step of 10 belongs to the delays, the relay durations and the arming
  // delay; the sending attempts always step by 1.
  if (id.row == SpinRow::NumOfAttempts) return;
  SpinAt(id).step = (ctrlHeld || rightButton) ? 10 : 1;
}

// ---- Identifiers and guard mode --------------------------------------------

bool Pages::StoreIdentifier(const std::string& text, std::size_t offset) {
  std::string value = text;
  bool ok = !value.empty();
  // The length counts characters, not the bytes of their UTF-8 form.
  if (!value.empty() && Utf8Length(value) < L::kIdentifierLength) {
    dialogs_.ShowMessage(page_texts::kIdentifierLength);
    value.clear();
    ok = false;
  } else if (!value.empty()) {
    for (char c : value) {
      if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
        dialogs_.ShowMessage(page_texts::kWrongValue);
        value.clear();
        ok = false;
        break;
      }
    }
  }
  if (!value.empty()) {
    ws_.working.SetRaw(offset, value.substr(0, L::kIdentifierLength));
  } else {
    ws_.working.Fill(offset, L::kIdentifierLength, L::kFill);
  }
  return ok;
}

void Pages::IDExit(int k) {
  if (k < 1 || k > 16) return;
  if (!StoreIdentifier(ID[k - 1].text, L::IdentifierField(static_cast<std::size_t>(k)))) {
    ID[k - 1].text.clear();
  }
}

void Pages::MasterKeyExit() {
  if (!StoreIdentifier(MasterKey.text, L::kMasterKey)) MasterKey.text.clear();
}

void Pages::ShowGuardMode(bool allowed) {
  Ohr.index = allowed ? 0 : 1;
  OhrSMS.enabled = allowed;
  Zones.enabled = allowed;
  Vihod.enabled = allowed;
  AZones.enabled = allowed && versions::HasAfterDelays(ws_.FirmwareVersion);
}

void Pages::OhrChanging() {
  const bool allowed = Ohr.index == 0;
  if (!guardSuppressed_) {
    if (allowed) {
      OhrSMS.enabled = true;
      Zones.enabled = true;
      Vihod.enabled = true;
      if (versions::HasAfterDelays(ws_.FirmwareVersion)) AZones.enabled = true;
    } else {
      SetSpinValue({SpinRow::Vihod, 1}, 0);
      Vihod.enabled = false;
      Zones.enabled = false;
      AZones.enabled = false;
      OhrSMS.enabled = false;
    }
    ws_.working.WriteHexPair(L::kArmingDelay, Vihod.value);
    ws_.working.WriteFlag(L::kGuardMode, allowed);
    SetGuardBranch(tree1_, ws_.working, allowed);
    tree1_.CollapseAll();
  }
  ws_.working.WriteMaskPair(L::kZones, StatesOf(Zones));
}

void Pages::OhrSMSClick() { ws_.working.WriteFlag(L::kSmsArming, OhrSMS.checked); }

void Pages::ZonesChange() { ws_.working.WriteMaskPair(L::kZones, StatesOf(Zones)); }

void Pages::AZonesChange() {
  // The analogue zones exist only in the 5484-byte images.
  if (ws_.working.size() >= L::kLongImageLength) {
    ws_.working.WriteMaskPair(L::kAnalogZones, StatesOf(AZones));
  }
}

void Pages::SetItemChecked(CheckGroup& group, std::size_t item, bool checked) {
  if (item >= group.checked.size() || group.checked[item] == checked) return;
  group.checked[item] = checked;
  if (&group == &StatusSMS) {
    StatusSMSChange();
  } else if (&group == &StatusMessages) {
    StatusMessagesChange(static_cast<int>(item));
  } else if (&group == &Zones) {
    ZonesChange();
  } else if (&group == &AZones) {
    AZonesChange();
  }
}

void Pages::SetOhrIndex(int index) {
  if (index < 0 || index > 1 || Ohr.index == index) return;
  Ohr.index = index;
  OhrChanging();
}

void Pages::SetOhrSmsChecked(bool checked) {
  if (OhrSMS.checked == checked) return;
  OhrSMS.checked = checked;
  OhrSMSClick();
}

// ---- Version-dependent controls --------------------------------------------

void Pages::ApplyVersionStates(int firmware) {
  StatusMessages.itemEnabled[2] = false;
  for (std::size_t k = 8; k < 16; ++k) ID[k].visible = false;
  for (auto& l : IdLabels) l.visible = false;
  StatusMessages.enabled = false;
  TimeAfterReactionEnabled = false;
  TabSheet3Enabled = false;
  AZones.enabled = false;
  if (firmware > 12) {
    StatusMessages.itemEnabled[2] = true;
    StatusMessages.enabled = true;
    TimeAfterReactionEnabled = true;
    TabSheet3Enabled = true;
    AZones.enabled = true;
  }
  if (firmware == 12) {
    StatusMessages.itemEnabled[2] = true;
    StatusMessages.enabled = true;
  }
  if (firmware == 11) {
    StatusMessages.enabled = true;
    StatusMessages.itemEnabled[2] = false;
  }
  if (firmware == 10) {
    for (std::size_t k = 8; k < 16; ++k) ID[k].visible = true;
    for (auto& l : IdLabels) l.visible = true;
  }
  // The analogue zones are edited only while guard mode is allowed.
  if (Ohr.index != 0) AZones.enabled = false;
}

void Pages::ApplyUnitCaptions(int firmware) {
  const UnitCaptions& c = firmware > 12 ? kOneSecond : kHalfSecond;
  Label7.caption = c.label7;
  Label8.caption = c.label8;
  Label1.caption = c.label1;
  Label5.caption = c.label5;
  RzGroupBox2.caption = c.relays;
}

// ---- Whole-image passes -----------------------------------------------------

std::optional<ImageFieldError> Pages::CheckImage(const ConfigImage& image, int firmware) {
  auto hex = [&](std::size_t offset) { return image.ReadHexPair(offset).has_value(); };
  if (versions::ReadsStatusKinds(firmware)) {
    const auto b = image.Byte(L::kStatusMessages);
    if (!b || !StatusDigitValue(*b)) return ImageFieldError{"StatusMessages", L::kStatusMessages};
  }
  if (versions::HasAfterDelays(firmware)) {
    for (std::size_t n = 0; n < 8; ++n) {
      if (!hex(L::kInputAfterDelays + 2 * n)) return ImageFieldError{Numbered("UInput", static_cast<int>(n + 1)), L::kInputAfterDelays + 2 * n};
    }
    for (std::size_t n = 0; n < 8; ++n) {
      if (!hex(L::kAnalogDelays + 2 * n)) return ImageFieldError{Numbered("AInput", static_cast<int>(n + 1)), L::kAnalogDelays + 2 * n};
    }
    for (std::size_t n = 0; n < 8; ++n) {
      if (!hex(L::kAnalogAfterDelays + 2 * n)) return ImageFieldError{Numbered("UAInput", static_cast<int>(n + 1)), L::kAnalogAfterDelays + 2 * n};
    }
    if (!hex(L::kAnalogZones)) return ImageFieldError{"AZones", L::kAnalogZones};
  }
  if (!hex(L::kZones)) return ImageFieldError{"Zones", L::kZones};
  for (std::size_t n = 0; n < 8; ++n) {
    if (!hex(L::kInputDelays + 2 * n)) return ImageFieldError{Numbered("Input", static_cast<int>(n + 1)), L::kInputDelays + 2 * n};
  }
  if (!hex(L::kArmingDelay)) return ImageFieldError{"Vihod", L::kArmingDelay};
  for (std::size_t n = 0; n < 16; ++n) {
    if (!hex(L::kReleDurations + 2 * n)) return ImageFieldError{Numbered("Rele", static_cast<int>(n + 1)), L::kReleDurations + 2 * n};
  }
  return std::nullopt;
}

bool Pages::ApplyIncomingImage(bool suppressGuard) {
  const ConfigImage& in = ws_.incoming;
  const int v = ws_.FirmwareVersion;
  if (CheckImage(in, v)) {
    dialogs_.ShowError(page_texts::kDataError);
    return false;
  }
  // Kinds of status message.
  if (versions::ReadsStatusKinds(v)) ApplyStatusMessageKinds(*StatusDigitValue(*in.Byte(L::kStatusMessages)));
  // Controls of the version.
  if (v == 11) {
    TimeAfterReactionEnabled = false;
    StatusMessages.itemEnabled[2] = false;
    SetItemChecked(StatusMessages, 2, false);
  } else if (v == 12) {
    StatusMessages.itemEnabled[2] = true;
    TimeAfterReactionEnabled = false;
  } else if (versions::HasAfterDelays(v)) {
    StatusMessages.itemEnabled[2] = true;
    TimeAfterReactionEnabled = true;
    TabSheet3Enabled = true;
    AZones.enabled = true;
  }
  // Delays after a reaction, analogue delays and zones.
  if (versions::HasAfterDelays(v)) {
    for (int n = 1; n <= 8; ++n) {
      const std::size_t d = 2 * static_cast<std::size_t>(n - 1);
      SetSpinValue({SpinRow::UInput, n}, *in.ReadHexPair(L::kInputAfterDelays + d));
      SetSpinValue({SpinRow::AInput, n}, *in.ReadHexPair(L::kAnalogDelays + d));
      SetSpinValue({SpinRow::UAInput, n}, *in.ReadHexPair(L::kAnalogAfterDelays + d));
    }
    const CheckStates az = *in.ReadMaskPair(L::kAnalogZones);
    for (std::size_t i = 0; i < 8; ++i) SetItemChecked(AZones, i, az[i]);
  }
  // Object identifier.
  ObjectID.text = versions::LongObjectId(v) ? in.ReadText(L::kObjectIdLong, L::kObjectIdLongLength)
                                            : in.ReadText(L::kObjectIdShort, L::kObjectIdShortLength);
  // SMS arming and the contact zones.
  SetOhrSmsChecked(in.Byte(L::kSmsArming) != std::uint8_t{'0'});
  const CheckStates zones = *in.ReadMaskPair(L::kZones);
  for (std::size_t i = 0; i < 8; ++i) SetItemChecked(Zones, i, zones[i]);
  // Guard mode.
  const bool allowed = in.Byte(L::kGuardMode) == std::uint8_t{'1'};
  guardSuppressed_ = suppressGuard;
  SetOhrIndex(allowed ? 0 : 1);
  guardSuppressed_ = false;
  ShowGuardMode(allowed);
  // Hours of the status SMS, with their handling suppressed.
  statusSmsSuppressed_ = true;
  for (std::size_t i = 0; i < L::kStatusSmsCount; ++i) {
    SetItemChecked(StatusSMS, i, in.Byte(L::kStatusSms + i) != std::uint8_t{'0'});
  }
  statusSmsSuppressed_ = false;
  // Subscriber numbers and the SMS centre.
  for (auto& a : ws_.abonents) a.clear();
  SetCenterPhoneText("");
  for (int k = 1; k <= 9; ++k) {
    if (!AbonentNo[k - 1].text.empty()) {
      AbonentNo[k - 1].text.clear();
      AbonentNoChange(k);
    }
  }
  const bool longPhones = versions::LongPhones(v);
  const std::size_t width = longPhones ? L::kPhoneLongLength : L::kPhoneShortLength;
  const std::size_t phones = longPhones ? L::kPhonesLong : L::kPhonesShort;
  CenterPhone.maxLength = static_cast<int>(width);
  SetCenterPhoneText(in.ReadText(longPhones ? L::kCenterPhoneLong : L::kCenterPhoneShort, width));
  for (int k = 1; k <= 9; ++k) {
    Edit& edit = AbonentNo[k - 1];
    edit.maxLength = static_cast<int>(width);
    const std::string text = in.ReadText(phones + width * static_cast<std::size_t>(k - 1), width);
    if (edit.text != text) {
      edit.text = text;
      AbonentNoChange(k);
    }
    ws_.abonents[k - 1] = Utf8Left(edit.text, 16);
  }
  // Input delays, arming delay, relay durations.
  for (int n = 1; n <= 8; ++n) {
    SetSpinValue({SpinRow::Input, n}, *in.ReadHexPair(L::kInputDelays + 2 * static_cast<std::size_t>(n - 1)));
  }
  SetSpinValue({SpinRow::Vihod, 1}, *in.ReadHexPair(L::kArmingDelay));
  for (int n = 1; n <= 16; ++n) {
    SetSpinValue({SpinRow::Rele, n}, *in.ReadHexPair(L::kReleDurations + 2 * static_cast<std::size_t>(n - 1)));
  }
  // Identifiers, password, master key.
  for (std::size_t k = 1; k <= 16; ++k) ID[k - 1].text = in.ReadText(L::IdentifierField(k), L::kIdentifierLength);
  PasswordEdit.text = in.ReadText(L::kPassword, L::kPasswordLength);
  MasterKey.text = in.ReadText(L::kMasterKey, L::kIdentifierLength);
  // Alarm clock icons.
  if (const auto flags = in.Byte(L::kAlarmFlags)) SetAlarmIcons(tree1_, *flags);
  // Attempts.
  SetSpinValue({SpinRow::NumOfAttempts, 1}, in.Byte(L::kNumOfAttempts).value_or(0));
  // The incoming image becomes the working image.
  ws_.working.CopyFrom(in.bytes());
  // Both trees show the new image when next expanded.
  tree1_.CollapseAll();
  tree2_.CollapseAll();
  return true;
}

void Pages::ResetImage() {
  ConfigImage& w = ws_.working;
  const int v = ws_.FirmwareVersion;
  // Version-dependent controls and the object identifier.
  FitObjectIdToVersion();
  ObjectIDExit();
  ApplyVersionStates(v);
  // Attempts.
  w.SetByte(L::kNumOfAttempts, 5);
  // Delays after a reaction, analogue delays and zones.
  if (versions::HasAfterDelays(v)) {
    for (int n = 1; n <= 8; ++n) {
      UInputUChange(n);
      AInput1Change(n);
      UAInput1Change(n);
    }
    AZonesChange();
  }
  // Identifiers and master key.
  for (std::size_t k = 1; k <= 16; ++k) w.Fill(L::IdentifierField(k), L::kIdentifierLength, L::kFill);
  w.Fill(L::kMasterKey, L::kIdentifierLength, L::kFill);
  // Status hours, kinds, guard mode.
  w.Fill(L::kStatusSms, 8, '0');
  w.SetByte(L::kGuardMode, '1');
  // Contact zones.
  ZonesChange();
  // Numbers and SMS centre.
  for (int k = 1; k <= 9; ++k) AbonentNoExit(k);
  CenterPhone.text = page_texts::kDefaultCenterPhone;
  CenterPhoneExit();
  // Password.
  w.Fill(L::kPassword, L::kPasswordLength, L::kFill);
  // Input delays, arming delay, relay durations.
  for (int n = 1; n <= 8; ++n) InputsChangeTime(n);
  VihodZaderzhka();
  for (int n = 1; n <= 16; ++n) {
    w.WriteHexPair(L::kReleDurations + 2 * static_cast<std::size_t>(n - 1), Rele[n - 1].value);
  }
  // Alarm clocks and SMS arming.
  w.SetRaw(L::kAlarm1Time, "00:00");
  w.SetRaw(L::kAlarm2Time, "00:00");
  w.SetByte(L::kAlarmFlags, '3');
  w.SetByte(L::kSmsArming, '0');
  // The controls whose fields now hold defaults show those defaults, so the page
  // and the image agree.
  PasswordEdit.text.clear();
  for (auto& id : ID) id.text.clear();
  MasterKey.text.clear();
  for (std::size_t i = 0; i < StatusSMS.checked.size(); ++i) StatusSMS.checked[i] = false;
  for (std::size_t i = 0; i < StatusMessages.checked.size(); ++i) StatusMessages.checked[i] = false;
  OhrSMS.checked = false;
  NumOfAttempts.value = 5;
}

}  // namespace vemtaro
