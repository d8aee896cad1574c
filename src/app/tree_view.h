// Tree1 and Tree2 on screen: a tree widget over a core reaction tree. Expanding
// a node runs the core's refresh of its children; the mouse opens the popup
// menus the core prepares, and every command runs in the core. The keyboard
// reaches the same commands: the Menu key and Shift+F10 open the current
// node's menu at the node, Enter on an SMS text or a threshold opens its entry
// as a double click does. After a command the view shows the core's texts and
// icons again and emits modelChanged().
#pragma once

#include <functional>

#include <QHash>
#include <QList>
#include <QTreeWidget>

#include "window/main_model.h"

class QMenu;
class QAction;

namespace vemtaro::app {

class ReactionTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  ReactionTreeView(MainModel& model, TreeKind kind, QWidget* parent = nullptr);

  // Builds the items anew when the core tree changed its shape, then shows every
  // node's text, icon and expansion.
  void Refresh();
  // The item of a core node, and the core node of an item.
  QTreeWidgetItem* ItemOf(const TreeNode* node) const { return items_.value(node, nullptr); }
  TreeNode* NodeOf(const QTreeWidgetItem* item) const;
  // The selected nodes in the order they were selected.
  std::vector<TreeNode*> Selection() const;
  Tree& tree() const;

  // Chooses an item of an open popup menu; the default shows the menu at the
  // pointer. Tests put a chooser of their own here.
  std::function<QAction*(QMenu&, const QPoint&)> menuChooser;

 signals:
  void modelChanged();
  // A popup menu item ran (its name: N2, N12, N17, ...).
  void commandChosen(const QString& itemName);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Rebuild();
  void AddItems(QTreeWidgetItem* parentItem, const TreeNode& node);
  void ShowNode(QTreeWidgetItem* item, const TreeNode& node);
  void OnExpanded(QTreeWidgetItem* item);
  void OnCollapsed(QTreeWidgetItem* item);
  void OnSelectionChanged();
  // Opens the prepared popup menu at the pointer and runs the chosen item.
  void RunMenu(PopupMenuId id, const QPoint& globalPos);
  void AfterCommand();
  // The Menu key or Shift+F10 on the current item: its menu as a right press
  // on it opens it, below the node.
  void KeyboardMenu(QTreeWidgetItem* item);
  PopupMenuId MouseDown(TreeNode* node, MouseButton button, bool doubleClick);

  MainModel& model_;
  TreeKind kind_;
  std::uint64_t builtRevision_ = ~std::uint64_t{0};
  QHash<const TreeNode*, QTreeWidgetItem*> items_;
  QList<QTreeWidgetItem*> selectionOrder_;
  bool refreshing_ = false;
};

}  // namespace vemtaro::app
