// Changing a configuration by name, as a user of the main window would: every
// page setting under its control name, and every reaction of both trees under
// the path of its node, the same names that InspectSettingsFile gives them.
//
// A page setting goes through its control's own handler (AbonentNoExit,
// StoreIdentifier, SetSpinValue, OhrChanging, ...), with that handler's
// validation and side effects. A reaction goes through the tree editing
// commands: the node's group is expanded, the node pressed, and the popup menu
// item, input entry or time window run, exactly as with the mouse. Nothing is
// written into the image by any other way.
//
// Names and value forms (those of the settings listing):
//   firmware, checksum, tree1, tree2   read-only: the file's version must be
//                                      given as it is; a checksum or tree state
//                                      is ignored
//   ObjectID, PasswordEdit, AbonentNo1..9, CenterPhone, ID1..16, MasterKey
//                                      text ("" empties; CenterPhone also takes
//                                      an operator of its drop-down table); a
//                                      '*', the fill of a text field, is
//                                      refused in every text
//   NumOfAttempts, Input1..8, UInput1..8, AInput1..8, UAInput1..8, Rele1..16,
//   Vihod                              whole number, clamped to 0..255 as the
//                                      spin boxes clamp it
//   StatusSMS, StatusMessages, Zones, AZones
//                                      check items in item order: "[1 0 0 1]"
//                                      (brackets and blanks optional);
//                                      StatusMessages is compared with the
//                                      status digit of the image, which opening
//                                      a file under versions 10 and 11 does not
//                                      show in the items
//   Ohr, OhrSMS                        yes / no ("Режим разрешен" / "Режим
//                                      запрещен" for Ohr)
//   SOURCE/EVENT/relays, CHANNEL/STATE/relays, ALARM/relays
//                                      16 letters Z, R, N (relay 1 first)
//   SOURCE/EVENT/phones, CHANNEL/STATE/phones
//                                      9 characters N or 1..9 (slot 1 first)
//   SOURCE/EVENT/sms, CHANNEL/STATE/sms  the SMS text, at most 32 characters
//   CHANNEL/STATE/max, CHANNEL/STATE/min the threshold, at most 4 characters;
//                                      empty keeps the value the node shows,
//                                      as an empty entry does; a blank
//                                      empties it
//   ALARM/time                         H:MM or HH:MM
//   ALARM/on                           yes / no
// and the groups of the trees by their own names:
//   .../Реле (16 letters), .../Реле/K = Z, R, N or "Включить", "Выключить",
//   "Не изменять"; .../Телефоны (9 characters), .../Телефоны/K = N or 1..9;
//   .../SMS = the text. The relay group of an alarm clock is under its time
//   node: "Будильник 1/00:00/Реле/3".
//
// A value equal to what the control or node shows changes nothing and runs no
// handler; so a control that is disabled or hidden may be given its current
// value, and any other value for it is refused.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/dialogs.h"
#include "window/main_model.h"

namespace vemtaro {

struct SettingResult {
  enum class Status {
    Ok,
    UnknownName,  // no setting or reaction has that name (or several have it)
    Refused,      // the value is not taken; `message` tells why
  };
  Status status = Status::Ok;
  // Why the value was refused: the program's own message as its handler shows
  // it ("\r" line breaks), or a description of what is wrong.
  std::string message;
  // Messages shown on the way that did not refuse the value (a relay group
  // holding invalid data when it was expanded, a kept password).
  std::vector<std::string> notes;

  bool ok() const { return status == Status::Ok; }
};

// The dialogs of a model whose settings are changed by name. While a change
// runs, the messages the handlers show are collected instead of shown (they
// become the result's message) and the input dialog of the tree commands is
// answered with the value; at any other time everything goes to the wrapped
// dialogs. The model must be created with these dialogs.
class EditDialogs : public UserDialogs {
 public:
  explicit EditDialogs(UserDialogs& shown) : shown_(shown) {}

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowInformation(const std::string& text) override;
  std::optional<std::string> InputText(const std::string& caption, const std::string& initial, int maxLength) override;
  std::optional<std::string> AskSaveFileName() override { return shown_.AskSaveFileName(); }
  std::optional<std::string> AskOpenFileName() override { return shown_.AskOpenFileName(); }
  std::optional<std::string> AskSaveFileFrom(const FileDialogStart& start) override {
    return shown_.AskSaveFileFrom(start);
  }
  std::optional<std::string> AskOpenFileFrom(const FileDialogStart& start) override {
    return shown_.AskOpenFileFrom(start);
  }
  std::optional<int> ChooseFirmwareVersion(int current) override { return shown_.ChooseFirmwareVersion(current); }
  std::optional<int> ChooseConnectionType() override { return shown_.ChooseConnectionType(); }
  SaveChangesAnswer AskSaveChanges() override { return shown_.AskSaveChanges(); }

  // Used by SetSetting: collect messages from now on; answer the next input
  // dialog with the text; take the messages collected so far; stop collecting.
  void BeginCollecting();
  void PrepareAnswer(std::string text) { answer_ = std::move(text); }
  bool AnswerTaken() const { return !answer_; }
  std::vector<std::string> TakeMessages();
  void EndCollecting();

 private:
  UserDialogs& shown_;
  bool collecting_ = false;
  std::optional<std::string> answer_;
  std::vector<std::string> messages_;
};

// Changes one setting or reaction of the model by name. The model must have
// been created with `dialogs`; any other model is refused.
SettingResult SetSetting(MainModel& model, EditDialogs& dialogs, std::string_view name, std::string_view value);

// Whether a name has the form of a setting or reaction name (a control name,
// or a path ending in one of the reaction fields); the node names are not
// looked up.
bool LooksLikeSettingName(std::string_view name);
// Whether the name is one of the page controls (or firmware, checksum).
bool IsPageSettingName(std::string_view name);

struct SettingAssignment {
  std::string name;
  std::string value;
};

// Splits "NAME=VALUE" or a line of the settings listing, "NAME: VALUE" (or
// "NAME:" for an empty value). Node names may hold '=' or ": " themselves, so
// the first separator after which the name has the form of a setting name is
// taken; nothing when the text has no separator.
std::optional<SettingAssignment> SplitAssignment(std::string_view text);

struct BatchResult {
  bool ok = true;
  std::size_t failed = 0;          // index of the assignment that failed
  SettingResult failure;           // its result
  std::vector<std::string> notes;  // "NAME: note" for every note on the way
};

// Changes the settings in the order given, stopping at the first that fails.
// The guard mode moves within the page settings around it: "Ohr" that allows
// guard mode is applied before the OhrSMS, Zones, AZones and Vihod values next
// to it (which it enables), and "Ohr" that forbids it after the OhrSMS, Zones
// and AZones values next to it (which it keeps but disables); so the lines of
// a settings listing can be given in their own order. A Vihod value that
// forbidding guard mode set back to 0 fails at the end. The model's dialogs
// are `dialogs`, as for SetSetting.
BatchResult SetSettings(MainModel& model, EditDialogs& dialogs, const std::vector<SettingAssignment>& assignments);

}  // namespace vemtaro
