#include "window/handover.h"

#include <cstdint>

namespace vemtaro::handover {
namespace {

constexpr char kEnd = '\n';

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF)
// without control characters.
bool IsCleanUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (IsControl(c)) return false;
      ++i;
      continue;
    }
    std::size_t extra = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if ((c & 0xE0) == 0xC0) {
      extra = 1;
      code = c & 0x1F;
      least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      code = c & 0x0F;
      least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      code = c & 0x07;
      least = 0x10000;
    } else {
      return false;
    }
    if (extra > text.size() - i - 1) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x80 && code < 0xA0) return false;  // the C1 control characters
    i += extra + 1;
  }
  return true;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The reason an OPEN's path cannot be taken, or nothing.
std::optional<std::string> PathProblem(std::string_view path) {
  if (path.empty()) return "no path";
  if (!IsAbsolutePath(path)) return "not an absolute path";
  if (!IsCleanUtf8(path)) return "not UTF-8 text without control characters";
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
  std::string message = std::string(kOpen) + std::string(path) + kEnd;
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
    if (line == kRaise) {
      messages.push_back({Kind::Raise, {}});
    } else if (line.substr(0, kOpen.size()) == kOpen) {
      const std::string_view path = line.substr(kOpen.size());
      if (const auto problem = PathProblem(path)) return Fail("OPEN: " + *problem);
      messages.push_back({Kind::Open, std::string(path)});
    } else {
      return Fail("an unknown message");
    }
    line_.clear();
  }
  return true;
}

Answers ReadAnswers(std::string_view received, std::size_t expected) {
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
    received.remove_prefix(end + 1);
  }
  if (!received.empty()) return Answers::Broken;
  return refused ? Answers::Refused : Answers::Accepted;
}

}  // namespace vemtaro::handover
