#include "window/status_history.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vemtaro {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> ReadingValue(std::string_view text) {
  if (text.size() > kMaxReadingLength) return std::nullopt;
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  // The number in the form from_chars reads: no "+", the point as ".".
  std::string number;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    if (text[pos] == '-') number += '-';
    ++pos;
  }
  bool digits = false;
  bool point = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (Digit(c)) {
      digits = true;
      number += c;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
      number += '.';
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  double value = 0;
  const char* end = number.data() + number.size();
  const auto [ptr, ec] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  // A reading of "-0" is drawn as 0.
  return value == 0 ? 0.0 : value;
}

void StatusHistory::Add(Millis atMs, const StatusReading& reading) {
  StatusSample sample;
  sample.atMs = atMs;
  for (std::size_t k = 0; k < 8; ++k) {
    if (reading.analog[k]) sample.values[k] = ReadingValue(*reading.analog[k]);
    if (reading.sensors[k]) sample.values[8 + k] = ReadingValue(*reading.sensors[k]);
  }
  samples_.push_back(sample);
  while (!samples_.empty() && (samples_.front().atMs < atMs - kSpanMs || samples_.size() > kMaxSamples)) {
    samples_.pop_front();
  }
  ++revision_;
}

void StatusHistory::Clear() {
  samples_.clear();
  ++revision_;
}

}  // namespace vemtaro
