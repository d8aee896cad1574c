// WaitForText as a state that is fed one byte at a time and asked about the
// time; the port (ComPort::WaitForText) drives it over its line.
//
// It keeps a count of matched characters: a byte equal to the next character of
// the text raises the count by one; any other byte sets the count to 1 if it
// equals the first character of the text, else to 0 (both sides upper-cased
// when letter case is ignored). The text has arrived when the count reaches its
// length. Because the count restarts only at 1 or 0, "LOAD_OK" is still found
// after an extra "L" or "LO", but a text whose beginning repeats inside it (like
// "AAB") is missed after one "A" too many.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "link/ticks.h"

namespace vemtaro {

class TextWait {
 public:
  TextWait(std::string_view text, int timeoutTicks, bool ignoreCase, Millis startMs);

  // Takes one byte; returns true once the text is complete. An empty text is
  // complete from the start.
  bool Offer(unsigned char byte);
  bool Done() const { return count_ >= text_.size(); }
  // The time-out of timeoutTicks ticks from startMs has expired.
  bool Expired(Millis nowMs) const { return TimeoutExpired(startTick_, ticks_, nowMs); }
  std::size_t count() const { return count_; }

 private:
  std::string text_;
  bool ignoreCase_;
  std::int64_t ticks_;
  std::int64_t startTick_;
  std::size_t count_ = 0;
};

}  // namespace vemtaro
