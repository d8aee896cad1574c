// Reads any bytes as a tree text, writes the tree that came out and reads that
// again: the second reading must succeed and give the same tree, and writing it
// once more must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/tree_text.h"

namespace {

using vemtaro::Tree;
using vemtaro::TreeNode;

bool SameShape(const TreeNode& a, const TreeNode& b) {
  if (a.text != b.text || a.childCount() != b.childCount()) return false;
  for (std::size_t i = 0; i < a.childCount(); ++i) {
    if (!SameShape(*a.child(i), *b.child(i))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Tree first;
  if (const auto error = vemtaro::ReadTreeText(input, first)) {
    if (error->line == 0 || error->offset >= size) __builtin_trap();
  }
  const std::string text = vemtaro::WriteTreeText(first);
  Tree second;
  if (vemtaro::ReadTreeText(text, second)) __builtin_trap();
  if (second.size() != first.size() || !SameShape(first.root(), second.root())) __builtin_trap();
  if (vemtaro::WriteTreeText(second) != text) __builtin_trap();
  return 0;
}
