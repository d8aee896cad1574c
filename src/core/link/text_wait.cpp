#include "link/text_wait.h"

namespace vemtaro {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

TextWait::TextWait(std::string_view text, int timeoutTicks, bool ignoreCase, Millis startMs)
    : text_(text), ignoreCase_(ignoreCase), ticks_(timeoutTicks), startTick_(TickOf(startMs)) {
  if (ignoreCase_) {
    for (char& c : text_) c = UpperAscii(c);
  }
}

bool TextWait::Offer(unsigned char byte) {
  if (Done()) return true;
  char c = static_cast<char>(byte);
  if (ignoreCase_) c = UpperAscii(c);
  if (c == text_[count_]) {
    ++count_;
  } else {
    count_ = c == text_[0] ? 1 : 0;
  }
  return Done();
}

}  // namespace vemtaro
