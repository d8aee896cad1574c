// Small pieces shared by the settings pages: showing a core control's state in
// a widget, the check groups, the guard against handlers running inside
// handlers, and moving the focus on with Enter.
#pragma once

#include <QGroupBox>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "pages/controls.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QGridLayout;

namespace vemtaro::app {

inline QString ToQ(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string FromQ(const QString& text) { return text.toStdString(); }
// A text of the page's table of texts.
inline QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Compact spacing for the pages: the main window's client area is small.
inline constexpr int kPageMargin = 4;
inline constexpr int kPageSpacing = 3;
void MakeCompact(QGridLayout* layout);

// Shows an edit's text, maximum length, enabled and visible state. A text longer
// than the maximum length stays whole: the core keeps such a text when a version
// with narrower fields is chosen.
void ShowEdit(QLineEdit* widget, const Edit& edit);
// After the user changed an edit's text: what is left of a longer text stays,
// and new typing goes no further than the edit's maximum length.
void NarrowToLimit(QLineEdit* widget, const Edit& edit);
void ShowLabel(QLabel* widget, const Label& label);
void ShowCheckBox(QCheckBox* widget, const CheckBox& box);
// Sets a control's tooltip (what it sets and its range) when it differs.
void ShowTip(QWidget* widget, const QString& tip);
// The unit of the delays and relay durations in a version, for their tips.
QString DelayUnit(int firmware);
// The tip's line about the step of 10 of the delays and relays.
QString StepTip();

// Moves the focus to the next control of the window, as the Tab key does.
void MoveFocusOn(QWidget* from);

// The exit handler of an edit (ObjectIDExit, AbonentNoExit, ID1Exit, ...): it
// runs once each time the edit is left, that is when the focus moves from it to
// another control of the window (Tab, a click elsewhere, Enter where Enter moves
// on) or its page is put away under the focus (a tab of the page control,
// Ctrl+Tab), whatever its text did meanwhile. Enter alone leaves nothing.
// Neither does the window losing its activation (another window, a message
// box), a popup or the menu bar taking the keys: the focus comes back. An edit
// disabled under the focus (a transfer holding the pages) keeps what it holds
// for the next commit.
//
// An edit entered or typed into is "pending" until its handler has run. Before
// anything reads the whole configuration (a save, a transfer, a version change,
// closing), ExitAll runs the handler of every pending edit, so that it sees
// what every edit shows; the edit keeps the focus and leaving it afterwards
// runs nothing more unless it was typed into again.
class ExitWatcher : public QObject {
  Q_OBJECT
 public:
  ExitWatcher(QLineEdit* edit, std::function<void()> onExit);
  // Runs the handler if the edit is pending.
  void Exit();
  // Runs the handler of every pending edit inside `root`, in the order of the
  // widgets.
  static void ExitAll(const QWidget* root);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  std::function<void()> onExit_;
  bool pending_ = false;
};

// A check group: a group box with its caption and the items in columns.
class CheckGroupBox : public QGroupBox {
  Q_OBJECT
 public:
  CheckGroupBox(const CheckGroup& group, int columns, QWidget* parent = nullptr);
  void Show(const CheckGroup& group);
  QCheckBox* item(int i) const { return items_.at(static_cast<std::size_t>(i)); }
  int count() const { return static_cast<int>(items_.size()); }

 signals:
  // A user checked or unchecked item i.
  void itemToggled(int item, bool checked);

 private:
  std::vector<QCheckBox*> items_;
};

// Marks a handler as running. A handler may show a message box, which takes
// the focus and makes the edit report that it was left once more; such nested
// reports are dropped.
class HandlerGuard {
 public:
  explicit HandlerGuard(bool& busy) : busy_(busy), entered_(!busy) { busy_ = true; }
  ~HandlerGuard() {
    if (entered_) busy_ = false;
  }
  HandlerGuard(const HandlerGuard&) = delete;
  HandlerGuard& operator=(const HandlerGuard&) = delete;
  // False when another handler of the page is already running.
  bool entered() const { return entered_; }

 private:
  bool& busy_;
  bool entered_;
};

}  // namespace vemtaro::app
