// The working configuration compared with another one: a settings file, the
// configuration read from the controller for the comparison, or the one read
// back after a write. Both are described by the settings listing
// (InspectSettingsFile, FlattenInspection, DiffInspections, as `vemtaro-cli
// diff` describes them), and every difference is put under the page or tree
// that shows it.
//
// A difference of a setting or reaction can be taken into the working
// configuration: the other side's value goes through the control's handler or
// the tree command, as a hand edit (SetSetting), so its checks apply and a
// refused value is reported. The firmware version, the checksum, the trees'
// states, bytes no setting reads and items one side lacks cannot be taken.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "editor/settings_edit.h"
#include "files/settings_file.h"
#include "listing/inspect.h"
#include "model/dialogs.h"
#include "model/image.h"
#include "window/main_model.h"

namespace vemtaro {

namespace compare_texts {
inline constexpr const char* kTitle = "Сравнение конфигураций";
inline constexpr const char* kWorking = "Рабочая конфигурация";
inline constexpr const char* kFile = "Файл";
inline constexpr const char* kController = "Контроллер";
inline constexpr const char* kReadBack = "Прочитано после записи";
// What the window says the other side is.
inline constexpr const char* kWithFile = "Сравнение рабочей конфигурации с файлом ";
inline constexpr const char* kWithController = "Сравнение рабочей конфигурации с конфигурацией контроллера";
inline constexpr const char* kWithReadBack =
    "Сравнение переданной конфигурации с прочитанной из контроллера после записи";
inline constexpr const char* kNoDifferences = "Различий нет";
inline constexpr const char* kSetting = "Настройка";
inline constexpr const char* kTake = "Перенести в рабочую конфигурацию";
inline constexpr const char* kClose = "Закрыть";
// The box after a take some of whose values were refused.
inline constexpr const char* kNotTaken = "Не перенесено в рабочую конфигурацию:";
// Why a difference cannot be taken.
inline constexpr const char* kDerived = "Вычисляется при записи и сохранении; не переносится.";
inline constexpr const char* kNotASetting = "Не настройка: не переносится.";
inline constexpr const char* kOneSide = "Есть только в одной из конфигураций: не переносится.";
inline constexpr const char* kUnreadable = "Значение не читается: не переносится.";
inline constexpr const char* kNamesOnly = "Различаются только названия узлов: не переносится.";
// A setting whose byte the checksum takes (OhrSMS in a 5121-byte image).
inline constexpr const char* kChecksumByte = "Байт занят контрольной суммой: не переносится.";
}  // namespace compare_texts

// The pages and trees of the main window, in their order, and the rest.
enum class CompareGroup { Common, Setup, ControlTree, ParametricTree, Guard, Other };
inline constexpr std::size_t kCompareGroupCount = 6;
// "Общие установки", "Задержки входов и реле", "Контрольные датчики",
// "Параметрические датчики", "Режим охраны", "Прочее".
const char* CompareGroupCaption(CompareGroup group);

struct ComparisonRow {
  CompareGroup group = CompareGroup::Other;
  std::string name;     // as the listing names it
  std::string working;  // the value in the working configuration
  std::string other;    // the value in the other configuration
  // The name under which the other value is taken (SetSetting); empty when
  // the difference cannot be taken, and `why` says why.
  std::string setting;
  std::string why;
  // The row's place in the listing's order, in which rows are taken.
  std::size_t listed = 0;
  // Derived data shown for information, no difference of its own (see
  // InspectDifference::note): the checksum state a write or save stores anew.
  bool note = false;

  bool Takeable() const { return !setting.empty(); }
};

struct TakeOutcome {
  std::size_t taken = 0;
  struct Refusal {
    std::string name;
    std::string value;
    std::string message;
  };
  std::vector<Refusal> refused;
  std::vector<std::string> notes;
};

// The working configuration of a model as a settings file of its version
// would hold it (the trees are not collapsed).
SettingsFileData WorkingSettingsFile(const MainModel& model);
// An image read from the controller under a firmware version, named with the
// working trees' nodes (the controller keeps no node names).
SettingsFileData ControllerSettingsFile(const MainModel& model, int version, const Bytes& image);

// "Сравнить с файлом…": the open dialog, then the file is read. Nothing when
// the dialog is cancelled, or when the file cannot be read, which is told as
// "Открыть" tells it; the working configuration is not touched either way.
std::optional<SettingsFileData> AskComparedFile(MainModel& model, FileStore& store, std::string* path = nullptr);

class Comparison {
 public:
  // `caption` names the other side in the window ("Файл", "Контроллер", ...).
  Comparison(SettingsFileData other, std::string caption);

  const std::string& caption() const { return caption_; }
  const SettingsFileData& other() const { return other_; }

  // Compares the model's working configuration with the other one anew.
  void Refresh(const MainModel& model);
  // The differences in the listing's order, each under its group; stable
  // within a group, the groups in their order.
  const std::vector<ComparisonRow>& rows() const { return rows_; }
  std::size_t TakeableCount() const;
  // Whether a row is a difference and not only a note: a configuration
  // written to the controller and read back compares equal.
  bool HasDifference() const;

  // Takes the other side's values of the chosen rows into the model's working
  // configuration, as hand edits in the pages and trees: the guard mode that
  // enables or disables guard settings is taken before or after them. A value
  // that is refused is left out, the others are taken; the refusals are shown
  // in one error box, the handlers' other messages in one message box. The
  // comparison is then made anew. The model must use `dialogs`.
  TakeOutcome Take(MainModel& model, EditDialogs& dialogs, const std::vector<std::size_t>& chosen);

 private:
  SettingsFileData other_;
  std::string caption_;
  Inspection otherInspection_;
  std::vector<FlatItem> otherFlat_;
  std::vector<ComparisonRow> rows_;
};

}  // namespace vemtaro
