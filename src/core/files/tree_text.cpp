#include "files/tree_text.h"

#include "model/cp1251.h"

namespace vemtaro {
namespace {

void WriteNode(const TreeNode& node, int level, std::string& out) {
  out.append(static_cast<std::size_t>(level), '\t');
  // Converted in place at the end of the text, which is written once per node
  // of trees of thousands of nodes.
  const std::size_t from = out.size();
  AppendCp1251(out, node.text);
  // Line breaks and zero bytes become blanks first, so that blanks they leave at
  // the start are dropped with the others.
  std::size_t start = out.size();
  for (std::size_t i = from; i < out.size(); ++i) {
    char& c = out[i];
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    if (start == out.size() && c != '\t' && c != ' ') start = i;
  }
  out.erase(from, start - from);
  out.append("\r\n");
  for (const auto& ch : node.children()) WriteNode(*ch, level + 1, out);
}

}  // namespace

std::string WriteTreeText(const Tree& tree) {
  std::string out;
  out.reserve(tree.size() * 24);
  for (const auto& top : tree.root().children()) WriteNode(*top, 0, out);
  return out;
}

std::optional<TreeTextError> ReadTreeText(std::string_view text, Tree& out) {
  out.Clear();
  if (const auto zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
  TreeNode* last = nullptr;
  int lastLevel = 0;
  std::size_t pos = 0;
  std::size_t lineNo = 0;
  while (pos < text.size()) {
    const std::size_t lineStart = pos;
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    std::size_t next = end;
    if (next < text.size()) {
      next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    }
    ++lineNo;
    std::size_t level = 0;
    while (lineStart + level < end && (text[lineStart + level] == '\t' || text[lineStart + level] == ' ')) {
      ++level;
    }
    std::string nodeText = Cp1251ToUtf8(text.substr(lineStart + level, end - lineStart - level));
    pos = next;
    if (last == nullptr) {
      last = out.AddTop(std::move(nodeText));
      lastLevel = 0;
      continue;
    }
    const auto l = static_cast<int>(std::min<std::size_t>(level, 1u << 20));
    if (l > lastLevel + 1) return TreeTextError{lineNo, lineStart};
    TreeNode* parent = nullptr;
    if (l == lastLevel + 1) {
      parent = last;
    } else {
      // A sibling of the last node's ancestor at level l.
      const TreeNode* sibling = last->ancestorAt(l);
      parent = sibling->parent();
    }
    last = parent->AddChild(std::move(nodeText));
    lastLevel = l;
  }
  return std::nullopt;
}

}  // namespace vemtaro
