// The readings of the status window over the last minutes, for its chart, and
// the timing of "Автоопрос", the status request repeated by itself.
//
// The status window shows each reading as the controller sends it. The chart
// draws those that read as numbers: ReadingValue takes a field's text apart,
// StatusHistory keeps what the status blocks of the last kSpanMs brought (never
// more than kMaxSamples of them), and StatusAutoPoll says when the next request
// is due on the link's clock. The link (ControllerLink) decides whether the
// request may go out now and sends it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "link/replies.h"
#include "link/ticks.h"

namespace vemtaro {

// The number a reading's text stands for: blanks around it allowed, an optional
// sign, decimal digits with at most one decimal point ("." or ","), at least
// one digit, at most kMaxReadingLength characters in all. Anything else (an
// empty text, letters, units, an exponent, a second point) is no number.
inline constexpr std::size_t kMaxReadingLength = 32;
std::optional<double> ReadingValue(std::string_view text);

// Channels of a sample: analogue inputs 1..8 (ACP1..ACP8) at 0..7, parametric
// sensors 1..8 (Dat1..Dat8) at 8..15.
inline constexpr std::size_t kReadingChannels = 16;

// What one status block brought: the time it arrived on the link's clock and
// the value of each channel whose line it held as a number.
struct StatusSample {
  Millis atMs = 0;
  std::array<std::optional<double>, kReadingChannels> values;
};

class StatusHistory {
 public:
  // How far back the history reaches, from its newest sample.
  static constexpr Millis kSpanMs = 10 * 60 * 1000;
  // The most samples kept: a request every half second for the whole span.
  static constexpr std::size_t kMaxSamples = 1200;

  // Adds the readings of a status block that arrived at atMs; samples older
  // than kSpanMs before it, and the oldest beyond kMaxSamples, are dropped.
  void Add(Millis atMs, const StatusReading& reading);
  void Clear();

  const std::deque<StatusSample>& Samples() const { return samples_; }
  // Changes with every Add and Clear, so that a chart redraws only then.
  std::uint64_t Revision() const { return revision_; }

 private:
  std::deque<StatusSample> samples_;
  std::uint64_t revision_ = 0;
};

// When "Автоопрос" asks next: at once when switched on, then kIntervalMs after
// each request it sent. A request whose reply has not begun kLostAfterMs after
// it went out is taken as lost, so that a reply the line dropped does not stop
// the polling for good.
class StatusAutoPoll {
 public:
  static constexpr Millis kIntervalMs = 3000;
  static constexpr Millis kLostAfterMs = 10000;

  bool On() const { return on_; }
  void Start() {
    on_ = true;
    lastMs_.reset();
  }
  void Stop() {
    on_ = false;
    lastMs_.reset();
  }
  // Whether the next request is due at nowMs.
  bool Due(Millis nowMs) const { return on_ && (!lastMs_ || nowMs - *lastMs_ >= kIntervalMs); }
  // Whether a request it sent has waited so long for its reply to begin that
  // it is taken as lost.
  bool Lost(Millis nowMs) const { return on_ && lastMs_ && nowMs - *lastMs_ >= kLostAfterMs; }
  void Sent(Millis nowMs) { lastMs_ = nowMs; }

 private:
  bool on_ = false;
  std::optional<Millis> lastMs_;
};

}  // namespace vemtaro
