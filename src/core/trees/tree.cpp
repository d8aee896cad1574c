#include "trees/tree.h"

namespace vemtaro {

int TreeNode::level() const {
  int n = -1;
  for (const TreeNode* p = parent_; p != nullptr; p = p->parent_) ++n;
  return n;
}

std::size_t TreeNode::index() const {
  if (parent_ == nullptr) return 0;
  const auto& sib = parent_->children_;
  for (std::size_t i = 0; i < sib.size(); ++i) {
    if (sib[i].get() == this) return i;
  }
  return 0;
}

const TreeNode* TreeNode::ancestorAt(int lvl) const {
  const TreeNode* n = this;
  int l = level();
  if (lvl > l || lvl < 0) return nullptr;
  while (l > lvl) {
    n = n->parent_;
    --l;
  }
  return n;
}

TreeNode* TreeNode::AddChild(std::string childText, int childIcon) {
  auto node = std::make_unique<TreeNode>();
  node->text = std::move(childText);
  node->icon = childIcon;
  node->parent_ = this;
  children_.push_back(std::move(node));
  Touch();
  return children_.back().get();
}

void TreeNode::RemoveLastChild() {
  if (!children_.empty()) children_.pop_back();
  Touch();
}

void TreeNode::ClearChildren() {
  children_.clear();
  Touch();
}

void TreeNode::Touch() {
  TreeNode* r = this;
  while (r->parent_ != nullptr) r = r->parent_;
  if (r->tree_ != nullptr) ++r->tree_->revision_;
}

namespace {
std::size_t CountBelow(const TreeNode& n) {
  std::size_t c = 0;
  for (const auto& ch : n.children()) c += 1 + CountBelow(*ch);
  return c;
}
void Visit(const TreeNode& n, const std::function<void(const TreeNode&)>& f) {
  for (const auto& ch : n.children()) {
    f(*ch);
    Visit(*ch, f);
  }
}
void VisitMut(TreeNode& n, const std::function<void(TreeNode&)>& f) {
  for (const auto& ch : n.children()) {
    f(*ch);
    VisitMut(*ch, f);
  }
}
}  // namespace

std::size_t Tree::size() const { return CountBelow(root_); }

void Tree::CollapseAll() {
  ForEach([](TreeNode& n) { n.expanded = false; });
}

void Tree::ForEach(const std::function<void(const TreeNode&)>& visit) const { Visit(root_, visit); }
void Tree::ForEach(const std::function<void(TreeNode&)>& visit) { VisitMut(root_, visit); }

void Tree::TakeFrom(Tree& other) {
  root_.children_ = std::move(other.root_.children_);
  other.root_.children_.clear();
  for (auto& ch : root_.children_) ch->parent_ = &root_;
  ++revision_;
  ++other.revision_;
}

}  // namespace vemtaro
