#include "pages/page_binding.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

namespace vemtaro::app {

void MakeCompact(QGridLayout* layout) {
  layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
  layout->setHorizontalSpacing(kPageSpacing * 2);
  layout->setVerticalSpacing(kPageSpacing);
}

void ShowEdit(QLineEdit* widget, const Edit& edit) {
  const QSignalBlocker block(widget);
  const QString text = ToQ(edit.text);
  // A maximum length of 0 means no limit.
  const int limit = edit.maxLength > 0 ? edit.maxLength : 32767;
  widget->setMaxLength(std::max(limit, static_cast<int>(text.size())));
  // Rewriting an equal text would move the cursor of a user typing.
  if (widget->text() != text) widget->setText(text);
  widget->setEnabled(edit.enabled);
  widget->setVisible(edit.visible);
}

void NarrowToLimit(QLineEdit* widget, const Edit& edit) {
  const int limit = edit.maxLength > 0 ? edit.maxLength : 32767;
  const int wanted = std::max(limit, static_cast<int>(widget->text().size()));
  if (widget->maxLength() != wanted) widget->setMaxLength(wanted);
}

void ShowLabel(QLabel* widget, const Label& label) {
  const QString caption = ToQ(label.caption);
  if (widget->text() != caption) widget->setText(caption);
  widget->setVisible(label.visible);
}

void ShowCheckBox(QCheckBox* widget, const CheckBox& box) {
  const QSignalBlocker block(widget);
  widget->setText(ToQ(box.caption));
  widget->setChecked(box.checked);
  widget->setEnabled(box.enabled);
}

void ShowTip(QWidget* widget, const QString& tip) {
  if (widget->toolTip() != tip) widget->setToolTip(tip);
}

QString DelayUnit(int firmware) { return QString::fromUtf8(firmware > 12 ? "1 ед. = 1 с" : "1 ед. = 0,5 с"); }

QString StepTip() {
  return QString::fromUtf8("Ctrl или правая кнопка мыши на числе: кнопки «+» и «−» меняют значение на 10.");
}

void MoveFocusOn(QWidget* from) {
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
  QApplication::sendEvent(from, &tab);
}

ExitWatcher::ExitWatcher(QLineEdit* edit, std::function<void()> onExit)
    : QObject(edit), edit_(edit), onExit_(std::move(onExit)) {
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, [this] { pending_ = true; });
}

void ExitWatcher::ExitAll(const QWidget* root) {
  if (root == nullptr) return;
  for (ExitWatcher* watcher : root->findChildren<ExitWatcher*>()) watcher->Exit();
}

void ExitWatcher::Exit() {
  if (!pending_) return;
  // Taken before the handler runs: a message box it shows moves the focus.
  pending_ = false;
  onExit_();
}

namespace {
// Focus moves after which the focus comes back to the same edit.
bool Returns(Qt::FocusReason reason) {
  return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason;
}
}  // namespace

bool ExitWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edit_) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::FocusIn:
      if (!Returns(static_cast<QFocusEvent*>(event)->reason())) pending_ = true;
      break;
    case QEvent::FocusOut:
      if (!Returns(static_cast<QFocusEvent*>(event)->reason()) && edit_->isEnabled()) Exit();
      break;
    case QEvent::Hide:
      // The page goes away under the focus while the window stays (another
      // tab chosen): that leaves the edit, whether or not the focus is moved
      // afterwards. A window minimised or closing leaves nothing: closing
      // commits before, and a window going away takes its pages with it.
      if (!event->spontaneous() && edit_->isEnabled() && edit_->window()->isVisible()) Exit();
      break;
    default: break;
  }
  return QObject::eventFilter(watched, event);
}

CheckGroupBox::CheckGroupBox(const CheckGroup& group, int columns, QWidget* parent)
    : QGroupBox(ToQ(group.caption), parent) {
  setObjectName(ToQ(group.name));
  auto* grid = new QGridLayout(this);
  MakeCompact(grid);
  for (std::size_t i = 0; i < group.items.size(); ++i) {
    auto* box = new QCheckBox(ToQ(group.items[i]), this);
    box->setObjectName(ToQ(group.name) + QStringLiteral("_") + QString::number(i + 1));
    const int n = static_cast<int>(i);
    grid->addWidget(box, n / columns, n % columns);
    connect(box, &QCheckBox::toggled, this, [this, n](bool checked) { emit itemToggled(n, checked); });
    items_.push_back(box);
  }
  Show(group);
}

void CheckGroupBox::Show(const CheckGroup& group) {
  setTitle(ToQ(group.caption));
  setEnabled(group.enabled);
  for (std::size_t i = 0; i < items_.size() && i < group.checked.size(); ++i) {
    const QSignalBlocker block(items_[i]);
    items_[i]->setText(ToQ(group.items[i]));
    items_[i]->setChecked(group.checked[i]);
    items_[i]->setEnabled(i < group.itemEnabled.size() ? bool(group.itemEnabled[i]) : true);
  }
}

}  // namespace vemtaro::app
