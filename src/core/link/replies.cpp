#include "link/replies.h"

#include <algorithm>

namespace vemtaro {

std::optional<int> VersionNumberOf(std::string_view versionText, std::string* error) {
  // Characters 10..12, 1-based; what there is of them when the text is short.
  const std::string_view digits = versionText.size() > 9
                                      ? versionText.substr(9, std::min<std::size_t>(3, versionText.size() - 9))
                                      : std::string_view{};
  auto fail = [&]() -> std::optional<int> {
    if (error != nullptr) {
      // Built by appending to a new string and moved: g++ 12 at -O3 takes a
      // text copied into an existing string here for an overlapping copy
      // (a false -Wrestrict).
      std::string text(1, '\'');
      text.append(digits).append("' is not a valid integer value");
      *error = std::move(text);
    }
    return std::nullopt;
  };
  if (digits.size() < 3) return fail();
  std::size_t i = 0;
  while (i < digits.size() && digits[i] == ' ') ++i;
  bool negative = false;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
    negative = digits[i] == '-';
    ++i;
  }
  if (i == digits.size()) return fail();
  int value = 0;
  for (; i < digits.size(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') return fail();
    value = value * 10 + (digits[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<std::string> ClockDisplayText(std::string_view reply) {
  std::string shown;
  if (reply.empty()) return shown;
  // The last character is not examined and not shown.
  for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
    const char c = reply[i];
    if (c == '*') {
      shown += ' ';
    } else if ((c >= '0' && c <= '9') || c == ':' || c == '-') {
      shown += c;
    } else {
      return std::nullopt;
    }
  }
  return shown;
}

std::array<std::optional<std::string>, kIdentifierGroups> IdentifierGroups(std::string_view reply) {
  std::array<std::optional<std::string>, kIdentifierGroups> groups;
  for (std::size_t k = 0; k < kIdentifierGroups; ++k) {
    const std::size_t from = k * kIdentifierGroupLength;
    if (from + kIdentifierGroupLength > reply.size()) break;
    groups[k] = std::string(reply.substr(from, kIdentifierGroupLength));
  }
  return groups;
}

StatusReading ReadStatusBlock(std::string_view block) {
  StatusReading reading;
  std::size_t pos = 0;
  // Line 1: one character per input, input 8 first, up to the first "\r".
  std::size_t i = 0;
  while (pos < block.size() && block[pos] != '\r') {
    if (i < 8) reading.inputs[7 - i] = block[pos] != '0';
    ++i;
    ++pos;
  }
  if (pos >= block.size()) return reading;
  ++pos;  // the "\r"
  // Lines 2..18, each up to its "\r", without any "\n".
  for (int line = 2; line <= 18; ++line) {
    if (pos >= block.size()) break;
    std::string text;
    while (pos < block.size() && block[pos] != '\r') {
      if (block[pos] != '\n') text += block[pos];
      ++pos;
    }
    const bool ended = pos < block.size();
    // A line of nothing but the "\n" of the line before is no line.
    if (!ended && text.empty()) break;
    if (line <= 9) {
      reading.analog[static_cast<std::size_t>(line - 2)] = std::move(text);
    } else if (line <= 17) {
      reading.sensors[static_cast<std::size_t>(line - 10)] = std::move(text);
    } else {
      reading.key = std::move(text);
    }
    if (ended) ++pos;
  }
  return reading;
}

}  // namespace vemtaro
