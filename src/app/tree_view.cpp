#include "tree_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "icons.h"

namespace vemtaro::app {
namespace {
constexpr int kNodeRole = Qt::UserRole + 1;
}

ReactionTreeView::ReactionTreeView(MainModel& model, TreeKind kind, QWidget* parent)
    : QTreeWidget(parent), model_(model), kind_(kind) {
  setObjectName(kind == TreeKind::Control ? "Tree1" : "Tree2");
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setContextMenuPolicy(Qt::NoContextMenu);
  setIconSize(QSize(16, 16));
  setUniformRowHeights(true);
  setExpandsOnDoubleClick(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemExpanded, this, &ReactionTreeView::OnExpanded);
  connect(this, &QTreeWidget::itemCollapsed, this, &ReactionTreeView::OnCollapsed);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &ReactionTreeView::OnSelectionChanged);
}

Tree& ReactionTreeView::tree() const { return kind_ == TreeKind::Control ? model_.Tree1 : model_.Tree2; }

TreeNode* ReactionTreeView::NodeOf(const QTreeWidgetItem* item) const {
  if (item == nullptr) return nullptr;
  return reinterpret_cast<TreeNode*>(item->data(0, kNodeRole).value<quintptr>());
}

void ReactionTreeView::ShowNode(QTreeWidgetItem* item, const TreeNode& node) {
  const QString text = QString::fromStdString(node.text);
  if (item->text(0) != text) item->setText(0, text);
  item->setIcon(0, TreeIcon(node.icon));
}

void ReactionTreeView::AddItems(QTreeWidgetItem* parentItem, const TreeNode& node) {
  for (const auto& child : node.children()) {
    auto* item = new QTreeWidgetItem(parentItem);
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(child.get())));
    ShowNode(item, *child);
    items_.insert(child.get(), item);
    AddItems(item, *child);
  }
}

void ReactionTreeView::Rebuild() {
  refreshing_ = true;
  clear();
  items_.clear();
  selectionOrder_.clear();
  auto* invisible = invisibleRootItem();
  for (const auto& top : tree().root().children()) {
    auto* item = new QTreeWidgetItem();
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(top.get())));
    ShowNode(item, *top);
    items_.insert(top.get(), item);
    AddItems(item, *top);
    invisible->addChild(item);
  }
  builtRevision_ = tree().revision();
  refreshing_ = false;
}

void ReactionTreeView::Refresh() {
  if (builtRevision_ != tree().revision()) Rebuild();
  refreshing_ = true;
  setUpdatesEnabled(false);
  tree().ForEach([this](const TreeNode& node) {
    QTreeWidgetItem* item = items_.value(&node, nullptr);
    if (item == nullptr) return;
    ShowNode(item, node);
    if (item->isExpanded() != node.expanded && node.childCount() > 0) item->setExpanded(node.expanded);
  });
  setUpdatesEnabled(true);
  refreshing_ = false;
}

void ReactionTreeView::OnExpanded(QTreeWidgetItem* item) {
  if (refreshing_) return;
  TreeNode* node = NodeOf(item);
  if (node == nullptr) return;
  // The core refreshes the node's children from the image at every expansion.
  model_.Expand(kind_, *node);
  refreshing_ = true;
  ShowNode(item, *node);
  for (int i = 0; i < item->childCount(); ++i) {
    if (const TreeNode* child = NodeOf(item->child(i))) ShowNode(item->child(i), *child);
  }
  refreshing_ = false;
}

void ReactionTreeView::OnCollapsed(QTreeWidgetItem* item) {
  if (refreshing_) return;
  if (TreeNode* node = NodeOf(item)) node->expanded = false;
}

void ReactionTreeView::OnSelectionChanged() {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  QList<QTreeWidgetItem*> order;
  for (QTreeWidgetItem* item : selectionOrder_) {
    if (selected.contains(item)) order.append(item);
  }
  for (QTreeWidgetItem* item : selected) {
    if (!order.contains(item)) order.append(item);
  }
  selectionOrder_ = order;
}

std::vector<TreeNode*> ReactionTreeView::Selection() const {
  std::vector<TreeNode*> nodes;
  for (QTreeWidgetItem* item : selectionOrder_) {
    if (TreeNode* node = NodeOf(item)) nodes.push_back(node);
  }
  return nodes;
}

PopupMenuId ReactionTreeView::MouseDown(TreeNode* node, MouseButton button, bool doubleClick) {
  const SubscriberEdits edits = model_.AbonentEdits();
  return kind_ == TreeKind::Control ? model_.commands.Tree1MouseDown(node, button, doubleClick, edits)
                                    : model_.commands.Tree2MouseDown(node, button, doubleClick, edits);
}

void ReactionTreeView::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  const MouseButton button = event->button() == Qt::RightButton  ? MouseButton::Right
                             : event->button() == Qt::LeftButton ? MouseButton::Left
                                                                 : MouseButton::Middle;
  if (item == nullptr) {
    // A press beside the nodes selects nothing and leaves the selection as it
    // is; it only clears ClickedNode.
    setFocus(Qt::MouseFocusReason);
    MouseDown(nullptr, button, false);
    return;
  }
  if (event->button() == Qt::RightButton && !item->isSelected()) {
    // A right press selects the node under the pointer, as a left press does.
    setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
  } else {
    QTreeWidget::mousePressEvent(event);
  }
  setFocus(Qt::MouseFocusReason);
  const PopupMenuId menu = MouseDown(NodeOf(item), button, false);
  if (menu != PopupMenuId::None) RunMenu(menu, event->globalPosition().toPoint());
}

void ReactionTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  QTreeWidget::mouseDoubleClickEvent(event);
  // The SMS text entry and the threshold entry run inside the core.
  MouseDown(NodeOf(item), event->button() == Qt::RightButton ? MouseButton::Right : MouseButton::Left, true);
  AfterCommand();
}

void ReactionTreeView::keyPressEvent(QKeyEvent* event) {
  QTreeWidgetItem* item = currentItem();
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const bool menuKey = (event->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
                       (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
  const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
  if (item == nullptr || (!menuKey && !enter)) {
    QTreeWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  if (menuKey) {
    KeyboardMenu(item);
    return;
  }
  // The SMS text entry and the threshold entry, as a double click runs them;
  // on other nodes Enter does nothing.
  MouseDown(NodeOf(item), MouseButton::Left, true);
  AfterCommand();
}

void ReactionTreeView::KeyboardMenu(QTreeWidgetItem* item) {
  if (!item->isSelected()) setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
  scrollToItem(item);
  const QRect rect = visualItemRect(item);
  const PopupMenuId menu = MouseDown(NodeOf(item), MouseButton::Right, false);
  if (menu != PopupMenuId::None) RunMenu(menu, viewport()->mapToGlobal(QPoint(rect.left(), rect.bottom())));
}

void ReactionTreeView::RunMenu(PopupMenuId id, const QPoint& globalPos) {
  const PopupMenu* core = model_.commands.Menu(id);
  if (core == nullptr) return;
  QMenu menu(this);
  menu.setObjectName(QString::fromStdString(core->name));
  for (const PopupItem& item : core->items) {
    if (!item.visible) continue;
    QAction* action = menu.addAction(TreeIcon(item.icon), QString::fromStdString(item.caption));
    action->setObjectName(QString::fromStdString(item.name));
    action->setData(QString::fromStdString(item.name));
  }
  QAction* chosen = menuChooser ? menuChooser(menu, globalPos) : menu.exec(globalPos);
  model_.commands.PopupClosed();
  if (chosen == nullptr) return;
  model_.commands.Click(chosen->data().toString().toStdString(), Selection());
  emit commandChosen(chosen->data().toString());
  AfterCommand();
}

void ReactionTreeView::AfterCommand() {
  Refresh();
  emit modelChanged();
}

}  // namespace vemtaro::app
