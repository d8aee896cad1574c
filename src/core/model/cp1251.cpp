#include "model/cp1251.h"

#include <array>
#include <cstdint>

namespace vemtaro {
namespace {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char32_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t ByteToCodePoint(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kHigh[b - 0x80];
}

int CodePointToByte(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Decodes one UTF-8 character at i; returns the code point, or -1 for an invalid
// sequence (then one byte is consumed). Advances i.
long NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t extra = 0;
  char32_t cp = 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    ++i;
    return -1;
  }
  if (i + extra >= s.size()) {
    ++i;
    return -1;
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  i += extra + 1;
  return static_cast<long>(cp);
}

}  // namespace

// Both conversions write into a buffer of the longest length the result can
// have and cut it to size: tree texts of thousands of nodes go through them
// whenever a settings file is opened or saved.
std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  AppendCp1251(out, utf8);
  return out;
}

void AppendCp1251(std::string& out, std::string_view utf8) {
  std::size_t n = out.size();
  out.resize(n + utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      out[n++] = static_cast<char>(b0);
      ++i;
      continue;
    }
    const long cp = NextCodePoint(utf8, i);
    const int b = cp < 0 ? -1 : CodePointToByte(static_cast<char32_t>(cp));
    out[n++] = b < 0 ? '?' : static_cast<char>(b);
  }
  out.resize(n);
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out(bytes.size() * 3, '\0');
  std::size_t n = 0;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out[n++] = c;
      continue;
    }
    const char32_t cp = ByteToCodePoint(b);  // U+0098 .. U+2122: two or three bytes
    if (cp < 0x800) {
      out[n++] = static_cast<char>(0xC0 | (cp >> 6));
    } else {
      out[n++] = static_cast<char>(0xE0 | (cp >> 12));
      out[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  }
  out.resize(n);
  return out;
}

std::size_t Utf8Length(std::string_view utf8) {
  std::size_t n = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    NextCodePoint(utf8, i);
    ++n;
  }
  return n;
}

std::string Utf8Left(std::string_view utf8, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < n && i < utf8.size(); ++k) NextCodePoint(utf8, i);
  return std::string(utf8.substr(0, i));
}

}  // namespace vemtaro
