// The settings pages of the main window: the common settings, the input delays
// and relay durations, the sensor identifiers and the guard mode. Every control
// writes its own field of the working image at once; the two whole-image passes
// show a read image in every control (ApplyIncomingImage) and write a version's
// defaults (ResetImage).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "model/dialogs.h"
#include "model/workspace.h"
#include "pages/controls.h"
#include "trees/tree.h"

namespace vemtaro {

namespace page_texts {
inline constexpr const char* kWrongNumber = "Неправильно набран номер";
inline constexpr const char* kIdentifierLength = "Количество символов должно быть равно 16";
inline constexpr const char* kWrongValue = "Значение неверно";
inline constexpr const char* kDataError = "Значения не установлены!\rОшибка данных\rКод ошибки: 94";
inline constexpr const char* kDefaultCenterPhone = "+79168999100";
}  // namespace page_texts

// A row of CenterPhone's drop-down table.
struct OperatorRow {
  const char* name;
  const char* phone;
};
inline constexpr std::array<OperatorRow, 8> kOperators = {{
    {"МТС(Вел. Новгород)", "+79116009993"},
    {"МТС(Москва)", "+79168999100"},
    {"МТС(Северо-Запад)", "+79112009993"},
    {"Мегафон(Москва)", "+79262909090"},
    {"Мегафон(Поволжье)", "+79272909090"},
    {"Мегафон(Северо-запад)", "+79219909090"},
    {"Мегафон(Урал)", "+79222909090"},
    {"Мегафон(Центр)", "+79202909090"},
}};

// The rows of spin boxes, each served by one change handler: the reaction
// delays of the contact inputs (Input) and the delays after a reaction
// (UInput), the same for the analogue inputs (AInput, UAInput), the relay
// on-durations (Rele), the arming delay (Vihod) and the sending attempts.
enum class SpinRow { Input, UInput, AInput, UAInput, Rele, Vihod, NumOfAttempts };
struct SpinId {
  SpinRow row;
  int n = 1;  // 1-based number within the row
};

// Where ApplyIncomingImage found a field it cannot read.
struct ImageFieldError {
  std::string field;  // control name
  std::size_t offset;
};

class Pages {
 public:
  Pages(Workspace& ws, Tree& tree1, Tree& tree2, UserDialogs& dialogs);

  // Common settings page.
  Edit ObjectID;                  // object identifier
  Edit PasswordEdit;              // password
  std::array<Edit, 9> AbonentNo;  // AbonentNo1..AbonentNo9: subscriber numbers
  Edit CenterPhone;               // SMS centre number
  Spin NumOfAttempts;             // sending attempts
  CheckGroup StatusSMS;           // hours of the status SMS
  CheckGroup StatusMessages;      // kinds of status message

  // Input delays and relay durations.
  // Input1..8, UInput1..8: contact inputs' reaction delays and delays after a
  // reaction; AInput1..8, UAInput1..8: the same for the analogue inputs.
  std::array<Spin, 8> Input, UInput, AInput, UAInput;
  std::array<Spin, 16> Rele;            // Rele1..Rele16: relay on-durations
  std::array<bool, 16> PanelVisible{};  // Panel1..Panel16: the infinity markers
  Spin Vihod;                           // arming delay
  // Unit captions: contact inputs' delays (Label1) and delays after a reaction
  // (Label5), analogue inputs' (Label7, Label8), relay durations (RzGroupBox2).
  Label Label1, Label5, Label7, Label8, RzGroupBox2;
  bool TimeAfterReactionEnabled = true;  // UInput1..8 take input
  bool TabSheet3Enabled = true;          // the analogue inputs' sub-page takes input

  // Sensor identifiers and guard mode.
  std::array<Edit, 16> ID;        // ID1..ID16: parametric sensor identifiers
  std::array<Label, 8> IdLabels;  // Label19..Label26 beside ID9..ID16
  RadioGroup Ohr;                 // guard mode allowed (0) or forbidden (1)
  CheckBox OhrSMS;                // arming and disarming by SMS
  CheckGroup Zones;               // disarmable zones, contact sensors
  CheckGroup AZones;              // disarmable zones, analogue sensors
  Edit MasterKey;                 // Touch Memory master key

  // Handlers of the common page, each storing its control's field.
  void ObjectIDExit();
  // After a change of firmware version: the object identifier's edit takes the
  // version's width as its maximum length for new typing. A longer text typed
  // under a wider version stays in the edit; each version stores as much of it
  // as its field holds, as the numbers do.
  void FitObjectIdToVersion();
  void PasswordEditExit();  // an empty password is not stored
  // Number k (1..9) is left: a wrong number is emptied; an emptied number
  // leaves every phone slot that selects it.
  void AbonentNoExit(int k);
  // Change of a number's text; only AbonentNo2 validates at every change.
  void AbonentNoChange(int k);
  void CenterPhoneExit();  // a wrong number is emptied
  // A change of CenterPhone's text (typing, or a row of its table).
  void SetCenterPhoneText(const std::string& text);
  void ChooseOperator(std::size_t row);  // a row of kOperators
  void NumOfAttemptsChange();
  void StatusSMSChange();
  void StatusMessagesChange(int index);
  // Checks the kinds of status message of a status digit's value 0..9.
  void ApplyStatusMessageKinds(int value);

  // Spin boxes: their change handlers, computed from the number n.
  void InputsChangeTime(int n);  // Input<n>
  void UInputUChange(int n);     // UInput<n>
  void AInput1Change(int n);     // AInput<n>
  void UAInput1Change(int n);    // UAInput<n>
  void TimeReleChange(int n);    // Rele<n>, and its infinity marker
  void VihodZaderzhka();         // Vihod, the arming delay
  Spin& SpinAt(SpinId id);
  // Sets a spin box's value as a user would: clamped to 0..255, the change
  // handler runs when the value changes.
  void SetSpinValue(SpinId id, int value);
  // The minus (-1) and plus (+1) buttons, by the spin box's step.
  void SpinButton(SpinId id, int direction);
  // Mouse press on a spin box: step 10 with Ctrl held or by the right button, else 1.
  void ReleMouseDown(SpinId id, bool ctrlHeld, bool rightButton);

  // Handlers of the identifiers and the guard page.
  bool StoreIdentifier(const std::string& text, std::size_t offset);
  void IDExit(int k);  // ID1Exit..ID16Exit
  void MasterKeyExit();
  // Ohr changed: allowing guard mode enables OhrSMS, Zones, Vihod and (where
  // the version has them) AZones; forbidding it sets the arming delay to 0 and
  // disables them. The guard byte and Tree1's guard branch follow.
  void OhrChanging();
  void OhrSMSClick();
  void ZonesChange();
  void AZonesChange();
  // Checks an item as a user would; the group's change handler runs on a change.
  void SetItemChecked(CheckGroup& group, std::size_t item, bool checked);
  void SetOhrIndex(int index);
  void SetOhrSmsChecked(bool checked);

  // The whole-image passes. ApplyIncomingImage checks every field it will read
  // first: an image with an unreadable field is rejected whole (message 94) and
  // nothing changes. Returns whether the image was applied.
  bool ApplyIncomingImage(bool suppressGuard);
  void ResetImage();
  // The fields ApplyIncomingImage would fail on for this image and version.
  static std::optional<ImageFieldError> CheckImage(const ConfigImage& image, int firmware);

  // Enabling and visibility of the version-dependent controls.
  void ApplyVersionStates(int firmware);
  // The five delay unit captions.
  void ApplyUnitCaptions(int firmware);
  // Shows a guard mode without running its handling, with the enabled states
  // that go with it.
  void ShowGuardMode(bool allowed);

 private:
  void StorePhone(int k, const std::string& text);

  Workspace& ws_;
  Tree& tree1_;
  Tree& tree2_;
  UserDialogs& dialogs_;
  bool statusSmsSuppressed_ = false;
  bool guardSuppressed_ = false;
};

// True when every character is a space, '+' or a digit; otherwise the position
// of the first other character.
std::optional<std::size_t> FirstBadPhoneChar(const std::string& text);

}  // namespace vemtaro
