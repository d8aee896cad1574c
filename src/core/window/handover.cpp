#include "window/handover.h"

#include <algorithm>
#include <cstdint>

#include "model/utf8.h"

namespace vemtaro::handover {
namespace {

constexpr char kEnd = '\n';

constexpr char kEscape = '%';
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsPrintableAscii(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// The length of the well-formed UTF-8 character at text[i] of a code point
// from U+00A0 on (no overlong forms, no surrogates, nothing above U+10FFFF),
// or 0.
std::size_t WideCharacterAt(std::string_view text, std::size_t i) {
  char32_t code = 0;
  const std::size_t n = utf8::CharacterAt(text, i, code);
  // The C1 control characters are written byte by byte.
  return code >= 0xA0 ? n : 0;
}

// A path as the line carries it.
std::string Written(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size();) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (IsPrintableAscii(c) && c != kEscape) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (const std::size_t n = c >= 0x80 ? WideCharacterAt(path, i) : 0; n > 0) {
      out.append(path.substr(i, n));
      i += n;
      continue;
    }
    out += kEscape;
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0x0F];
    ++i;
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a path as the line carries it; nothing when the line is not
// written as Written writes it.
std::optional<std::string> Unwritten(std::string_view line) {
  std::string path;
  path.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != kEscape) {
      path += line[i];
      continue;
    }
    if (line.size() - i < 3) return std::nullopt;
    const int high = HexValue(line[i + 1]);
    const int low = HexValue(line[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  // One way of writing each path: what would be written otherwise is refused.
  if (Written(path) != line) return std::nullopt;
  return path;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The reason a PORT's name cannot be taken, or nothing.
std::optional<std::string> NameProblem(std::string_view name) {
  if (name.empty()) return "no port name";
  if (name.find('\0') != std::string_view::npos) return "a zero byte in the port name";
  return std::nullopt;
}

// The reason an OPEN's path cannot be taken, or nothing.
std::optional<std::string> PathProblem(std::string_view path) {
  if (path.empty()) return "no path";
  if (!IsAbsolutePath(path)) return "not an absolute path";
  if (path.find('\0') != std::string_view::npos) return "a zero byte in the path";
  return std::nullopt;
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '/') return true;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
  return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
}

std::string RaiseMessage() { return std::string(kRaise) + kEnd; }

std::optional<std::string> OpenMessage(std::string_view path) {
  if (PathProblem(path)) return std::nullopt;
  std::string message = std::string(kOpen) + Written(path) + kEnd;
  if (message.size() > kMaxMessageBytes) return std::nullopt;
  return message;
}

std::optional<std::string> PortMessage(std::string_view name) {
  if (NameProblem(name)) return std::nullopt;
  std::string message = std::string(kPort) + Written(name) + kEnd;
  if (message.size() > kMaxMessageBytes) return std::nullopt;
  return message;
}

bool MessageReader::Fail(std::string why) {
  error_ = std::move(why);
  line_.clear();
  line_.shrink_to_fit();
  return false;
}

bool MessageReader::Feed(std::string_view bytes, std::vector<Message>& messages) {
  if (!error_.empty()) return false;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find(kEnd);
    const std::size_t take = end == std::string_view::npos ? bytes.size() : end;
    // The message so far and its "\n" stay within the bound.
    if (take > kMaxMessageBytes - 1 - line_.size()) {
      return Fail("a message longer than " + std::to_string(kMaxMessageBytes) + " bytes");
    }
    line_.append(bytes.substr(0, take));
    if (end == std::string_view::npos) return true;
    bytes.remove_prefix(end + 1);
    if (count_ == kMaxMessages) return Fail("more than " + std::to_string(kMaxMessages) + " messages");
    ++count_;
    const std::string_view line = line_;
    // Each kind no more often than a start sends it.
    const auto once = [&](Kind kind, std::size_t most, const std::string& what) {
      const auto n = std::count_if(messages_.begin(), messages_.end(), [&](Kind k) { return k == kind; });
      return static_cast<std::size_t>(n) < most ? std::optional<std::string>()
                                                : std::optional<std::string>("more than " + what);
    };
    std::optional<std::string> tooMany;
    if (line == kRaise) tooMany = once(Kind::Raise, 1, "one RAISE");
    if (line.substr(0, kOpen.size()) == kOpen) tooMany = once(Kind::Open, 1, "one OPEN");
    if (line.substr(0, kPort.size()) == kPort)
      tooMany = once(Kind::Port, kMaxPorts, std::to_string(kMaxPorts) + " PORT messages");
    if (tooMany) return Fail(*tooMany);
    if (line == kRaise) {
      messages.push_back({Kind::Raise, {}});
    } else if (line.substr(0, kOpen.size()) == kOpen) {
      const auto path = Unwritten(line.substr(kOpen.size()));
      if (!path) return Fail("OPEN: a path not written as the channel writes it");
      if (const auto problem = PathProblem(*path)) return Fail("OPEN: " + *problem);
      messages.push_back({Kind::Open, *path});
    } else if (line.substr(0, kPort.size()) == kPort) {
      const auto name = Unwritten(line.substr(kPort.size()));
      if (!name) return Fail("PORT: a name not written as the channel writes it");
      if (const auto problem = NameProblem(*name)) return Fail("PORT: " + *problem);
      messages.push_back({Kind::Port, *name});
    } else {
      return Fail("an unknown message");
    }
    messages_.push_back(messages.back().kind);
    line_.clear();
  }
  return true;
}

Answers ReadAnswers(std::string_view received, std::size_t expected, std::vector<bool>* taken) {
  if (taken != nullptr) taken->clear();
  bool refused = false;
  for (std::size_t n = 0; n < expected; ++n) {
    const std::size_t end = received.find(kEnd);
    if (end == std::string_view::npos) {
      // An answer under way may only be the start of one.
      const bool start =
          kAccepted.substr(0, received.size()) == received || kRefused.substr(0, received.size()) == received;
      return start ? Answers::Incomplete : Answers::Broken;
    }
    const std::string_view line = received.substr(0, end);
    if (line == kRefused) {
      refused = true;
    } else if (line != kAccepted) {
      return Answers::Broken;
    }
    if (taken != nullptr) taken->push_back(line == kAccepted);
    received.remove_prefix(end + 1);
  }
  if (!received.empty()) return Answers::Broken;
  return refused ? Answers::Refused : Answers::Accepted;
}

}  // namespace vemtaro::handover
