// The main window TForm1: tab pages, the reaction trees, the main menu and the
// status bar over the core's MainModel.
#pragma once

#include <QMainWindow>
#include <array>

#include "main/main_model.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;

namespace vemtaro::app {

class PageWidget;
class ReactionTreeView;
class MarqueeLabel;
class TForm2;
class TForm4;
class TForm5;
class TForm6;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // FormCreate. The dialogs and the file store are the core's ways to the user
  // and to the disk; the caller keeps them alive.
  TForm1(UserDialogs& dialogs, FileStore& files, QWidget* parent = nullptr);
  ~TForm1() override;

  MainModel& model() { return model_; }

  // The start-up sequence (FormShow): ports, default image, trees, version 15.
  void FormShow();
  // Shows the core's state in every page, tree, menu and pane.
  void RefreshAll();

  // Menu items, by their names.
  QMenu* N5;   // "Файл"
  QAction* N6;
  QAction* N7;
  QAction* N8;
  QMenu* N13;  // "&Обмен с контроллером"
  QAction* N14;
  QAction* N15;
  QAction* ID17;
  QAction* N16;
  QAction* N23;
  QAction* N24;
  QMenu* N19;  // "Дополнительные настройки"
  QMenu* N20;  // "Версия прошивки"
  std::array<QAction*, 6> versionItems{};  // v110 .. v151
  QAction* N22;
  QAction* N10;

  QTabWidget* RzPageControl1;
  ReactionTreeView* Tree1;
  ReactionTreeView* Tree2;
  QLabel* RzClockStatus1;
  MarqueeLabel* RzMarqueeStatus1;
  QLabel* ComStatus;
  QMenu* PopupMenu1;

  TForm2* Form2;
  TForm4* Form4;
  TForm5* Form5;
  TForm6* Form6;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildPages();
  void BuildStatusBar();
  void ListPorts();
  void N6Click();
  void N7Click();
  void N10Click();
  void OnTreeCommand(const QString& itemName);

  UserDialogs& dialogs_;
  FileStore& files_;
  MainModel model_;
  QList<PageWidget*> pages_;
  QTimer* clock_;
};

}  // namespace vemtaro::app
