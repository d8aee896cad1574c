#include "cli_text.h"

#include <cstdint>
#include <cstdio>

namespace vemtaro::cli {
namespace {

constexpr char16_t kEscapedByte = 0xDC00;  // U+DC80..U+DCFF: bytes 0x80..0xFF

// Length of the UTF-8 sequence at text[i] and its code point; 0 when the bytes
// there are no well-formed sequence (overlong forms, surrogates and code points
// past U+10FFFF included).
std::size_t Utf8At(std::string_view text, std::size_t i, char32_t& cp) {
  const auto b = static_cast<unsigned char>(text[i]);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  std::size_t n = 0;
  char32_t min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, cp = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, cp = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Escaped(const char* form, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, form, value);
  return text;
}

}  // namespace

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList args;
  for (int a = 0; a < argc; ++a) {
    const std::string_view bytes(argv[a]);
    QString text;
    for (std::size_t i = 0; i < bytes.size();) {
      char32_t cp = 0;
      const std::size_t n = Utf8At(bytes, i, cp);
      if (n == 0) {
        text += QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[i])));
        ++i;
        continue;
      }
      const char32_t one[] = {cp};
      text += QString::fromUcs4(one, 1);
      i += n;
    }
    args.append(text);
  }
  return args;
}

std::string Std(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
      AppendUtf8(out, QChar::surrogateToUcs4(u, text[i + 1].unicode()));
      ++i;
    } else if (u >= kEscapedByte + 0x80 && u <= kEscapedByte + 0xFF) {
      out += static_cast<char>(u - kEscapedByte);
    } else if (QChar::isSurrogate(u)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::string TerminalSafe(std::string_view text, bool keepLineBreaks) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t n = Utf8At(text, i, cp);
    if (n == 0) {
      out += Escaped("\\x%02X", static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    if ((cp == '\n' || cp == '\t') && keepLineBreaks) {
      out += static_cast<char>(cp);
    } else if (cp < 0x20 || cp == 0x7F) {
      out += Escaped("\\x%02X", static_cast<unsigned>(cp));
    } else if (cp >= 0x80 && cp <= 0x9F) {
      out += Escaped("\\u%04X", static_cast<unsigned>(cp));
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out;
}

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace vemtaro::cli
