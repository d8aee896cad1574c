// UTF-8 read and written character by character, for texts from outside the
// image (file names, arguments, terminal text); the image itself is
// Windows-1251 (cp1251.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vemtaro::utf8 {

// The length of the well-formed UTF-8 character at text[i] (no overlong forms,
// no surrogates, nothing above U+10FFFF) and its code point, or 0.
inline std::size_t CharacterAt(std::string_view text, std::size_t i, char32_t& code) {
  const auto b = static_cast<unsigned char>(text[i]);
  if (b < 0x80) {
    code = b;
    return 1;
  }
  std::size_t n = 0;
  char32_t least = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, code = b & 0x1F, least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, code = b & 0x0F, least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, code = b & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (n > text.size() - i) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    code = (code << 6) | (c & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

// Appends the UTF-8 form of a code point (not a surrogate, at most U+10FFFF).
inline void Append(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace vemtaro::utf8
