// The tree text of a settings file: one line per node in pre-order, as many TABs
// as the node's level, the node's text in Windows-1251, then CR LF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "trees/tree.h"

namespace vemtaro {

// The text of a tree. A node text never breaks the line structure: CR, LF and
// zero bytes in it are written as blanks, and blanks or TABs at its start, which
// a reader would take as levels, are left out.
std::string WriteTreeText(const Tree& tree);

struct TreeTextError {
  std::size_t line;    // 1-based
  std::size_t offset;  // byte offset of the line in the text
};

// Reads a tree text into out (emptied first). Lines end at CR LF, a lone CR or a
// lone LF; a zero byte ends the text. The level of a line is the number of TABs
// or blanks at its start. Fails at a line more than one level deeper than the
// line before; out then keeps the nodes read so far.
std::optional<TreeTextError> ReadTreeText(std::string_view text, Tree& out);

}  // namespace vemtaro
