// The main window TForm1 as a presentation model: it owns the images, the
// version profile state, the pages and both reaction trees, runs the start-up
// sequence, the version menu and the settings-file commands.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/settings_file.h"
#include "model/dialogs.h"
#include "model/profiles.h"
#include "model/workspace.h"
#include "pages/pages.h"
#include "trees/tree.h"
#include "trees/tree_commands.h"
#include "vemtaro_version.h"
#include "window/file_places.h"

namespace vemtaro {

namespace main_texts {
inline constexpr const char* kTitle = "Vemtaro";
inline constexpr const char* kVersionText = VEMTARO_VERSION_TEXT;
inline constexpr const char* kCaption = "Vemtaro " VEMTARO_VERSION_TEXT;
inline constexpr const char* kSaved = "Настройки сохранены в файл: ";
inline constexpr const char* kLoaded = "Настройки загружены";
inline constexpr const char* kTree1Error = "Ошибка данных\rКод ошибки: 101\rЗагружены значения по умолчанию!";
inline constexpr const char* kTree2Error = "Ошибка данных\rКод ошибки: 102\rЗагружены значения по умолчанию!";
inline constexpr const char* kImageLengthError = "Ошибка данных\rКод ошибки: 103\rЗагружены значения по умолчанию!";
inline constexpr const char* kSaveFailed = "Не удалось сохранить настройки в файл ";
inline constexpr const char* kOpenFailed = "Не удалось открыть файл настроек ";
}  // namespace main_texts

struct MenuItem {
  std::string name;  // the item's name: N13, N22, v110, ...
  std::string caption;
  bool checked = false;
  bool enabled = true;
};

enum class TreeKind { Control, Parametric };

class MainModel {
 public:
  // FormCreate: version 15, checksum on, both images 5484 bytes of 0, the
  // exchange menu disabled, the version menu in its design state.
  explicit MainModel(UserDialogs& dialogs);
  MainModel(const MainModel&) = delete;
  MainModel& operator=(const MainModel&) = delete;

  Workspace ws;
  Tree Tree1;  // control-sensor reaction tree
  Tree Tree2;  // parametric-sensor reaction tree
  Pages pages;
  // The editing commands of both trees, with ClickedNode and the popup menus.
  TreeCommands commands;

  std::array<MenuItem, 6> versionMenu;                         // v110 .. v151 of "Версия прошивки"
  MenuItem N22{"N22", "Проверка контрольной суммы", true};     // checksum on or off
  MenuItem N13{"N13", "&Обмен с контроллером", false, false};  // the exchange menu
  int gaugeMax = 5484;                                         // Gauge1 of the progress window
  std::string status;                                          // RzMarqueeStatus1
  int selectedPort = 1;                                        // the port number the program starts with
  // Where the file dialogs start, and the file of the configuration in use.
  FilePlaces filePlaces;

  // The image steps of the start-up sequence (FormShow).
  void Startup();

  // The version items; each applies its profile.
  void v110Click() { ApplyProfile(10); }
  void v111Click() { ApplyProfile(11); }
  void v112Click() { ApplyProfile(12); }
  void v113Click() { ApplyProfile(13); }
  void v141Click() { ApplyProfile(14); }
  void v151Click() { ApplyProfile(15); }
  // Applies the profile of a version 10..15 (the click of its item).
  void ApplyProfile(int version);
  void ApplyVersionControls(const std::string& itemName);
  // "Проверка контрольной суммы": toggles the checksum, nothing else.
  void N22Click();

  // The expansion refresh of a node of either tree.
  void Expand(TreeKind kind, TreeNode& node);

  // Settings files. The bytes of a file holding the current configuration
  // (both trees are collapsed first); nothing on an error, with its reason.
  std::optional<std::string> SettingsFileBytes(std::string* error = nullptr);
  // "Сохранить" and "Открыть" with their dialogs, which start in the folder
  // last used; the save dialog suggests a name from the object identifier.
  void N6Click(FileStore& store);
  void N7Click(FileStore& store);
  // Saving to and opening a named file; the file is then the one in use.
  bool SaveSettings(const std::string& path, FileStore& store);
  bool OpenSettings(const std::string& path, FileStore& store);
  // Opening from the bytes of a file. A file that cannot be read as a whole is
  // refused before anything changes; returns whether it was applied.
  bool OpenSettingsBytes(const std::string& bytes, std::string* error = nullptr);

  // Unsaved changes. MarkUnmodified takes the configuration in use (firmware
  // version, working image, the node names of both trees) as the one last
  // opened, saved, read or written; Modified tells whether it differs from
  // that now. Neither changes the trees' expansion.
  void MarkUnmodified();
  bool Modified() const;
  // Asked before an action replaces the configuration in use: true when the
  // action may go on. Without changes it goes on unasked; otherwise the user
  // answers "Сохранить изменения в настройках?": "Не сохранять" goes on,
  // "Отмена" stops, "Сохранить" goes on only once the save dialog was answered
  // and the file was written.
  bool SaveChangesFirst(FileStore& store);

  UserDialogs& dialogs() { return dialogs_; }
  // The texts of AbonentNo1..AbonentNo9, from which the phone slot menu takes
  // its captions.
  SubscriberEdits AbonentEdits() const;

 private:
  // What Modified compares: the level and text of every node of a tree in
  // pre-order, in one string (a snapshot is taken at every open and save, of
  // trees of thousands of nodes).
  using TreeNames = std::string;
  struct Snapshot {
    int version = 0;
    Bytes image;
    TreeNames tree1;
    TreeNames tree2;
  };
  static TreeNames NamesOf(const Tree& tree);
  // The save dialog, started by filePlaces; its folder is the one last used.
  std::optional<std::string> AskSaveFile();
  // The same into a string of an earlier snapshot, whose room it reuses.
  static void NamesInto(const Tree& tree, TreeNames& names);

  UserDialogs& dialogs_;
  Snapshot unmodified_;
};

}  // namespace vemtaro
