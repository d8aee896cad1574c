// A tree of nodes with a text and an icon number, the data behind Tree1 and
// Tree2. Nodes are owned by their parent and keep their address for life, so a
// view may hold pointers to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vemtaro {

inline constexpr int kNoIcon = -1;

class Tree;

class TreeNode {
 public:
  std::string text;
  int icon = kNoIcon;
  bool expanded = false;

  TreeNode* parent() const { return parent_; }
  const std::vector<std::unique_ptr<TreeNode>>& children() const { return children_; }
  std::size_t childCount() const { return children_.size(); }
  TreeNode* child(std::size_t i) const { return i < children_.size() ? children_[i].get() : nullptr; }
  // Level 0 for a top-level node.
  int level() const;
  // Index among the siblings.
  std::size_t index() const;
  // The ancestor (or this node) at the given level.
  const TreeNode* ancestorAt(int level) const;

  TreeNode* AddChild(std::string childText, int childIcon = kNoIcon);
  void RemoveLastChild();
  void ClearChildren();

 private:
  friend class Tree;
  // Counts a change of the shape in the tree that holds this node.
  void Touch();
  TreeNode* parent_ = nullptr;
  Tree* tree_ = nullptr;  // set on the invisible root only
  std::vector<std::unique_ptr<TreeNode>> children_;
};

class Tree {
 public:
  Tree() { root_.tree_ = this; }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  Tree(Tree&&) = delete;
  Tree& operator=(Tree&&) = delete;

  // Grows whenever a node is added or removed anywhere in the tree, so a view
  // knows when to build itself again.
  std::uint64_t revision() const { return revision_; }

  // The invisible root; its children are the top-level nodes.
  TreeNode& root() { return root_; }
  const TreeNode& root() const { return root_; }
  std::size_t topCount() const { return root_.childCount(); }
  TreeNode* top(std::size_t i) const { return root_.child(i); }
  TreeNode* AddTop(std::string text, int icon = kNoIcon) { return root_.AddChild(std::move(text), icon); }
  void Clear() { root_.ClearChildren(); }
  // Number of nodes, the root left out.
  std::size_t size() const;
  void CollapseAll();
  // Visits every node in pre-order.
  void ForEach(const std::function<void(const TreeNode&)>& visit) const;
  void ForEach(const std::function<void(TreeNode&)>& visit);
  // Moves the other tree's nodes into this one.
  void TakeFrom(Tree& other);

 private:
  friend class TreeNode;
  TreeNode root_;
  std::uint64_t revision_ = 0;
};

}  // namespace vemtaro
