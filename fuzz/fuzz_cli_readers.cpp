// The command line's own readers of outside bytes: any bytes as the program's
// arguments (cut at each zero byte, as the system hands them over), as a text
// made safe for the terminal, and as a list of settings split into lines.
//
// Checked: an argument comes back from the argument parser's text as the very
// bytes it was; the escaped text is UTF-8 and holds no control character (a
// line break or TAB only where they are kept), no C1 control and no byte that
// is not UTF-8, and escaping it again changes nothing; the lines hold no line
// break, and each is its piece of the text with at most one CR taken off its
// end, so that joining them gives the text back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli_text.h"

namespace {

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Whether the text is well-formed UTF-8 without controls: C0 (but the line
// break and TAB when allowed), DEL and C1.
bool Printable(std::string_view text, bool lineBreaks) {
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      if ((b < 0x20 && !(lineBreaks && (b == '\n' || b == '\t'))) || b == 0x7F) return false;
      ++i;
      continue;
    }
    std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (n == 0 || b > 0xF4 || i + n > text.size()) return false;
    char32_t cp = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const char32_t min = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0x80 && cp <= 0x9F)) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vemtaro::cli;
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Arguments: the bytes between zero bytes.
  std::vector<std::string> args;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('\0', start);
    args.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  const QStringList parsed = ArgumentsOf(static_cast<int>(argv.size()), argv.data());
  Check(parsed.size() == static_cast<qsizetype>(args.size()));
  for (std::size_t i = 0; i < args.size(); ++i) Check(Std(parsed[static_cast<qsizetype>(i)]) == args[i]);

  // Escaping for the terminal, with and without line breaks.
  for (const bool keep : {false, true}) {
    const std::string safe = TerminalSafe(text, keep);
    Check(Printable(safe, keep));
    Check(TerminalSafe(safe, keep) == safe);
    // Every byte becomes at most "\u009F" (its two bytes) or "\xHH".
    Check(safe.size() <= 4 * text.size());
  }

  // Lines: each is its piece of the text, one CR off its end at most.
  const std::vector<std::string> lines = TextLines(text);
  std::size_t at = 0;
  for (const std::string& line : lines) {
    Check(line.find('\n') == std::string::npos);
    Check(text.compare(at, line.size(), line) == 0);
    at += line.size();
    if (at < text.size() && text[at] == '\r' && (at + 1 == text.size() || text[at + 1] == '\n')) ++at;
    Check(at == text.size() || text[at] == '\n');
    if (at < text.size()) ++at;
  }
  Check(at == text.size());
  return 0;
}
