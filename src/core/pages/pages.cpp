#include "pages/pages.h"

#include "model/cp1251.h"
#include "model/fields.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace L = layout;
namespace F = fields;

namespace {

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

CheckGroup MakeGroup(std::string name, const char* caption, std::vector<std::string> items) {
  CheckGroup g;
  g.name = std::move(name);
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
constexpr UnitCaptions kHalfSecond = {"Задержка реакции по аналоговым входам\n(1 ед. = 0.5 сек)",
                                      "Задержки аналоговых входов после реакции\n(1 ед. = 0,5 сек)",
                                      "Задержки реакции по контактным входам\n(1 ед. = 0,5 сек)",
                                      "Задержки контактных входов после реакции\n(1 ед. = 0,5 сек)",
                                      "Длительность включения реле (1 ед.=0.5 сек)"};
constexpr UnitCaptions kOneSecond = {"Задержка реакции по аналоговым входам\n(1 ед. = 1 сек)",
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
  // The controls of the image fields take their names from the field table.
  const auto name = [](F::Id id, int n = 0) { return F::Of(id).ControlName(n); };
  ObjectID = {name(F::Id::ObjectID), "", 10};
  PasswordEdit = {name(F::Id::PasswordEdit), "", static_cast<int>(L::kPasswordLength)};
  for (int k = 1; k <= 9; ++k) AbonentNo[k - 1] = {name(F::Id::AbonentNo, k), "", 16};
  CenterPhone = {name(F::Id::CenterPhone), "", 16};
  NumOfAttempts = {name(F::Id::NumOfAttempts), 5};
  StatusSMS =
      MakeGroup(name(F::Id::StatusSMS), "Отправка статусного сообщения (часы)", {"00:00", "06:00", "12:00", "18:00"});
  StatusMessages = MakeGroup(name(F::Id::StatusMessages), "Статусные сообщения",
                             {"Входы/выходы", "Цифровая шина", "АЦП (аналоговые входы)"});
  for (int n = 1; n <= 8; ++n) {
    Input[n - 1].name = name(F::Id::Input, n);
    UInput[n - 1].name = name(F::Id::UInput, n);
    AInput[n - 1].name = name(F::Id::AInput, n);
    UAInput[n - 1].name = name(F::Id::UAInput, n);
  }
  for (int n = 1; n <= 16; ++n) {
    Rele[n - 1].name = name(F::Id::Rele, n);
    PanelVisible[n - 1] = true;
  }
  Vihod.name = name(F::Id::Vihod);
  Label1 = {"Label1", "Задержки реакции по контактным входам \n(1 ед. = 0,5 сек)"};
  Label5 = {"Label5", "Задержки контактных входов после реакции \n(1 ед. = 0,5 сек)"};
  Label7 = {"Label7", "Задержка реакции по аналоговым входам\n(1 ед. = 0,5 сек)"};
  Label8 = {"Label8", "Задержки аналоговых входов после реакции \n(1 ед. = 0,5 сек)"};
  RzGroupBox2 = {"RzGroupBox2", "Длительность включения реле (1 ед.=0.5сек)"};
  for (int k = 1; k <= 16; ++k) ID[k - 1] = {name(F::Id::ID, k), "", 16};
  for (int k = 0; k < 8; ++k) IdLabels[k] = {Numbered("Label", 19 + k), name(F::Id::ID, 9 + k)};
  Ohr = {name(F::Id::Ohr), "Режим охраны", {"Режим разрешен", "Режим запрещен"}, 0};
  OhrSMS = {name(F::Id::OhrSMS), "Снятие/постановка по SMS"};
  Zones = MakeGroup(name(F::Id::Zones), "Снимаемые зоны (контактные датчики)", ZoneItems());
  AZones = MakeGroup(name(F::Id::AZones), "Снимаемые зоны (аналоговые датчики)", ZoneItems());
  MasterKey = {name(F::Id::MasterKey), "", 16};
}

// ---- Common settings -------------------------------------------------------

namespace {
// Where control n of a field lies in the version of the configuration.
F::Place FieldAt(const Workspace& ws, F::Id id, int n = 0) { return F::Of(id).At(ws.FirmwareVersion, n); }
}  // namespace

void Pages::ObjectIDExit() {
  // The whole field of the version takes the text and its fill, so that
  // nothing of an earlier, longer text stays behind it; a text longer than
  // the field (typed under a version with a wider one) gives its first
  // characters.
  const F::Place p = FieldAt(ws_, F::Id::ObjectID);
  ws_.working.WriteText(p.offset, p.length, ObjectID.text);
}

void Pages::FitObjectIdToVersion() {
  const std::size_t width = FieldAt(ws_, F::Id::ObjectID).length;
  ObjectID.maxLength = static_cast<int>(width);
}

void Pages::PasswordEditExit() {
  if (PasswordEdit.text.empty()) return;
  const F::Place p = FieldAt(ws_, F::Id::PasswordEdit);
  ws_.working.WriteText(p.offset, p.length, PasswordEdit.text);
}

void Pages::StorePhone(int k, const std::string& text) {
  const F::Place p = FieldAt(ws_, F::Id::AbonentNo, k);
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
  ws_.working.WriteText(p.offset, p.length, text);
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
  const F::Place p = FieldAt(ws_, F::Id::CenterPhone);
  ws_.working.WriteText(p.offset, p.length, CenterPhone.text);
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
  ws_.working.SetByte(FieldAt(ws_, F::Id::NumOfAttempts).offset, static_cast<std::uint8_t>(NumOfAttempts.value));
}

void Pages::StatusSMSChange() {
  if (statusSmsSuppressed_) return;
  const F::Place hours = FieldAt(ws_, F::Id::StatusSMS);
  for (std::size_t i = 0; i < hours.length; ++i) {
    ws_.working.WriteFlag(hours.offset + i, StatusSMS.checked[i]);
  }
}

void Pages::StatusMessagesChange(int index) {
  if (index < 0 || index > 2) return;
  // The digit becomes that of the items as they are checked now: flipping the
  // item's bit alone would turn a '8' or '9' read from a controller into a
  // byte that is no digit ('<', ':', '=', ';'), which no image may hold.
  ws_.working.SetByte(FieldAt(ws_, F::Id::StatusMessages).offset,
                      StatusDigit(StatusMessages.checked[0], StatusMessages.checked[1], StatusMessages.checked[2]));
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
  ws_.working.WriteHexPair(FieldAt(ws_, F::Id::Input, n).offset, Input[n - 1].value);
}

void Pages::UInputUChange(int n) {
  ws_.working.WriteHexPair(FieldAt(ws_, F::Id::UInput, n).offset, UInput[n - 1].value);
}

void Pages::AInput1Change(int n) {
  ws_.working.WriteHexPair(FieldAt(ws_, F::Id::AInput, n).offset, AInput[n - 1].value);
}

void Pages::UAInput1Change(int n) {
  ws_.working.WriteHexPair(FieldAt(ws_, F::Id::UAInput, n).offset, UAInput[n - 1].value);
}

void Pages::TimeReleChange(int n) {
  PanelVisible[n - 1] = Rele[n - 1].value == 0;
  ws_.working.WriteHexPair(FieldAt(ws_, F::Id::Rele, n).offset, Rele[n - 1].value);
}

void Pages::VihodZaderzhka() { ws_.working.WriteHexPair(FieldAt(ws_, F::Id::Vihod).offset, Vihod.value); }

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
  if (!StoreIdentifier(ID[k - 1].text, FieldAt(ws_, F::Id::ID, k).offset)) {
    ID[k - 1].text.clear();
  }
}

void Pages::MasterKeyExit() {
  if (!StoreIdentifier(MasterKey.text, FieldAt(ws_, F::Id::MasterKey).offset)) MasterKey.text.clear();
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
    ws_.working.WriteHexPair(FieldAt(ws_, F::Id::Vihod).offset, Vihod.value);
    ws_.working.WriteFlag(FieldAt(ws_, F::Id::Ohr).offset, allowed);
    SetGuardBranch(tree1_, ws_.working, allowed);
    tree1_.CollapseAll();
  }
  ZonesChange();
}

void Pages::OhrSMSClick() { ws_.working.WriteFlag(FieldAt(ws_, F::Id::OhrSMS).offset, OhrSMS.checked); }

void Pages::ZonesChange() { ws_.working.WriteMaskPair(FieldAt(ws_, F::Id::Zones).offset, StatesOf(Zones)); }

void Pages::AZonesChange() {
  // The analogue zones exist only in the 5484-byte images.
  if (ws_.working.size() >= L::kLongImageLength) {
    ws_.working.WriteMaskPair(FieldAt(ws_, F::Id::AZones).offset, StatesOf(AZones));
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

namespace {
// The fields whose bytes may not decode, in the order ApplyIncomingImage reads
// them: the first such field is the one reported.
constexpr F::Id kCheckedFields[] = {F::Id::StatusMessages, F::Id::UInput, F::Id::AInput, F::Id::UAInput, F::Id::AZones,
                                    F::Id::Zones,          F::Id::Input,  F::Id::Vihod,  F::Id::Rele};

bool Decodes(const ConfigImage& image, F::Codec codec, std::size_t offset) {
  switch (codec) {
    case F::Codec::StatusDigit: {
      const auto b = image.Byte(offset);
      return b && StatusDigitValue(*b);
    }
    case F::Codec::HexPair:
    case F::Codec::MaskPair: return image.ReadHexPair(offset).has_value();
    default: return true;
  }
}
}  // namespace

std::optional<ImageFieldError> Pages::CheckImage(const ConfigImage& image, int firmware) {
  for (const F::Id id : kCheckedFields) {
    const F::Field& f = F::Of(id);
    if (!f.In(firmware)) continue;
    for (int n = f.First(); n <= f.Last(); ++n) {
      const std::size_t offset = f.At(firmware, n).offset;
      if (!Decodes(image, f.codec, offset)) return ImageFieldError{f.ControlName(n), offset};
    }
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
  // Every field is read at its place in the version, by its codec; the check
  // above leaves no hex pair or status digit that does not decode.
  const auto at = [&](F::Id id, int n = 0) { return F::Of(id).At(v, n); };
  const auto hexPair = [&](F::Id id, int n = 0) { return *in.ReadHexPair(at(id, n).offset); };
  const auto maskPair = [&](F::Id id) { return *in.ReadMaskPair(at(id).offset); };
  const auto text = [&](F::Id id, int n = 0) {
    const F::Place p = at(id, n);
    return in.ReadText(p.offset, p.length);
  };
  // Kinds of status message.
  if (F::Of(F::Id::StatusMessages).In(v)) {
    ApplyStatusMessageKinds(*StatusDigitValue(*in.Byte(at(F::Id::StatusMessages).offset)));
  }
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
      SetSpinValue({SpinRow::UInput, n}, hexPair(F::Id::UInput, n));
      SetSpinValue({SpinRow::AInput, n}, hexPair(F::Id::AInput, n));
      SetSpinValue({SpinRow::UAInput, n}, hexPair(F::Id::UAInput, n));
    }
    const CheckStates az = maskPair(F::Id::AZones);
    for (std::size_t i = 0; i < 8; ++i) SetItemChecked(AZones, i, az[i]);
  }
  // Object identifier.
  ObjectID.text = text(F::Id::ObjectID);
  // SMS arming and the contact zones.
  SetOhrSmsChecked(in.Byte(at(F::Id::OhrSMS).offset) != std::uint8_t{'0'});
  const CheckStates zones = maskPair(F::Id::Zones);
  for (std::size_t i = 0; i < 8; ++i) SetItemChecked(Zones, i, zones[i]);
  // Guard mode.
  const bool allowed = in.Byte(at(F::Id::Ohr).offset) == std::uint8_t{'1'};
  guardSuppressed_ = suppressGuard;
  SetOhrIndex(allowed ? 0 : 1);
  guardSuppressed_ = false;
  ShowGuardMode(allowed);
  // Hours of the status SMS, with their handling suppressed.
  statusSmsSuppressed_ = true;
  const F::Place hours = at(F::Id::StatusSMS);
  for (std::size_t i = 0; i < hours.length; ++i) {
    SetItemChecked(StatusSMS, i, in.Byte(hours.offset + i) != std::uint8_t{'0'});
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
  CenterPhone.maxLength = static_cast<int>(at(F::Id::CenterPhone).length);
  SetCenterPhoneText(text(F::Id::CenterPhone));
  for (int k = 1; k <= 9; ++k) {
    Edit& edit = AbonentNo[k - 1];
    edit.maxLength = static_cast<int>(at(F::Id::AbonentNo, k).length);
    const std::string number = text(F::Id::AbonentNo, k);
    if (edit.text != number) {
      edit.text = number;
      AbonentNoChange(k);
    }
    ws_.abonents[k - 1] = Utf8Left(edit.text, 16);
  }
  // Input delays, arming delay, relay durations.
  for (int n = 1; n <= 8; ++n) SetSpinValue({SpinRow::Input, n}, hexPair(F::Id::Input, n));
  SetSpinValue({SpinRow::Vihod, 1}, hexPair(F::Id::Vihod));
  for (int n = 1; n <= 16; ++n) SetSpinValue({SpinRow::Rele, n}, hexPair(F::Id::Rele, n));
  // Identifiers, password, master key.
  for (int k = 1; k <= 16; ++k) ID[static_cast<std::size_t>(k - 1)].text = text(F::Id::ID, k);
  PasswordEdit.text = text(F::Id::PasswordEdit);
  MasterKey.text = text(F::Id::MasterKey);
  // Alarm clock icons.
  if (const auto flags = in.Byte(L::kAlarmFlags)) SetAlarmIcons(tree1_, *flags);
  // Attempts.
  SetSpinValue({SpinRow::NumOfAttempts, 1}, in.Byte(at(F::Id::NumOfAttempts).offset).value_or(0));
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
  w.SetByte(FieldAt(ws_, F::Id::NumOfAttempts).offset, 5);
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
  for (int k = 1; k <= 16; ++k) {
    const F::Place p = FieldAt(ws_, F::Id::ID, k);
    w.Fill(p.offset, p.length, L::kFill);
  }
  const F::Place key = FieldAt(ws_, F::Id::MasterKey);
  w.Fill(key.offset, key.length, L::kFill);
  // Status hours, kinds, guard mode.
  w.Fill(L::kStatusSms, 8, '0');
  w.SetByte(FieldAt(ws_, F::Id::Ohr).offset, '1');
  // Contact zones.
  ZonesChange();
  // Numbers and SMS centre.
  for (int k = 1; k <= 9; ++k) AbonentNoExit(k);
  CenterPhone.text = page_texts::kDefaultCenterPhone;
  CenterPhoneExit();
  // Password.
  const F::Place password = FieldAt(ws_, F::Id::PasswordEdit);
  w.Fill(password.offset, password.length, L::kFill);
  // Input delays, arming delay, relay durations.
  for (int n = 1; n <= 8; ++n) InputsChangeTime(n);
  VihodZaderzhka();
  for (int n = 1; n <= 16; ++n) {
    w.WriteHexPair(FieldAt(ws_, F::Id::Rele, n).offset, Rele[n - 1].value);
  }
  // Alarm clocks and SMS arming.
  w.SetRaw(L::kAlarm1Time, "00:00");
  w.SetRaw(L::kAlarm2Time, "00:00");
  w.SetByte(L::kAlarmFlags, '3');
  w.SetByte(FieldAt(ws_, F::Id::OhrSMS).offset, '0');
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
