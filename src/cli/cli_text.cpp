#include "cli_text.h"

#include <cstdint>
#include <cstdio>

#include "model/utf8.h"
#include "shell/file_names.h"

namespace vemtaro::cli {
namespace {

// Where shell::FileNameText keeps a byte that is not UTF-8: U+DC80..U+DCFF.
constexpr char16_t kEscapedByte = 0xDC00;

std::string Escaped(const char* form, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, form, value);
  return text;
}

}  // namespace

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList args;
  for (int a = 0; a < argc; ++a) args.append(shell::FileNameText(argv[a]));
  return args;
}

std::string Std(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
      utf8::Append(out, QChar::surrogateToUcs4(u, text[i + 1].unicode()));
      ++i;
    } else if (u >= kEscapedByte + 0x80 && u <= kEscapedByte + 0xFF) {
      out += static_cast<char>(u - kEscapedByte);
    } else if (QChar::isSurrogate(u)) {
      utf8::Append(out, 0xFFFD);
    } else {
      utf8::Append(out, u);
    }
  }
  return out;
}

std::string TerminalSafe(std::string_view text, bool keepLineBreaks) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t n = utf8::CharacterAt(text, i, cp);
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
