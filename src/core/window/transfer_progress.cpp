#include "window/transfer_progress.h"

#include <algorithm>
#include <cmath>

#include "model/profiles.h"
#include "window/controller_link.h"

namespace vemtaro {

namespace T = progress_texts;

namespace {
// Ten bits a byte at 9600 bit/s.
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
}  // namespace

double StageMs(TransferStage stage, std::size_t bytes, int version) {
  const double n = static_cast<double>(bytes);
  switch (stage) {
    case TransferStage::Read:
    case TransferStage::Backup:
    case TransferStage::Verify: return n * kByteMs;
    case TransferStage::Write:
      if (versions::AcknowledgedBytes(version)) return n * 2 * kByteMs;
      return n * (2 * kByteMs + 2 * static_cast<double>(link_timing::kOldByteGapMs));
    case TransferStage::None: break;
  }
  return 0;
}

void TransferProgress::Begin(std::vector<TransferStage> stages, std::size_t length, int version) {
  *this = TransferProgress();
  stages_ = std::move(stages);
  length_ = length;
  version_ = version;
}

void TransferProgress::Enter(TransferStage stage, Millis nowMs) {
  const auto it = std::find(stages_.begin(), stages_.end(), stage);
  if (it == stages_.end()) return;
  current_ = static_cast<std::size_t>(it - stages_.begin());
  entered_ = true;
  enteredMs_ = nowMs;
}

double TransferProgress::Planned(std::size_t index, std::size_t bytes) const {
  return index < stages_.size() ? StageMs(stages_[index], bytes, version_) : 0;
}

double TransferProgress::Before() const {
  double before = 0;
  for (std::size_t i = 0; i < current_ && i < stages_.size(); ++i) before += Planned(i, length_);
  return before;
}

double TransferProgress::Total() const {
  double total = 0;
  for (std::size_t i = 0; i < stages_.size(); ++i) total += Planned(i, length_);
  return total;
}

double TransferProgress::Fraction(std::size_t done) const {
  const double total = Total();
  if (!entered_ || total <= 0) return 0;
  const double fraction = (Before() + Planned(current_, std::min(done, length_))) / total;
  return std::clamp(fraction, 0.0, 1.0);
}

std::optional<Millis> TransferProgress::MsLeft(std::size_t done, Millis nowMs) const {
  if (!entered_ || stages_.empty()) return std::nullopt;
  done = std::min(done, length_);
  double current = Planned(current_, length_) - Planned(current_, done);
  const double doneMs = Planned(current_, done);
  const Millis elapsed = nowMs - enteredMs_;
  // A controller slower than the line (or a line slower than its rate) shows
  // in the stage's own pace once it has run for a while.
  if (elapsed >= kPaceAfterMs && done >= kPaceAfterBytes && doneMs > 0) {
    current *= static_cast<double>(elapsed) / doneMs;
  }
  double later = 0;
  for (std::size_t i = current_ + 1; i < stages_.size(); ++i) later += Planned(i, length_);
  return static_cast<Millis>(std::ceil(current + later));
}

std::string TimeLeftText(Millis ms) {
  const Millis seconds = std::max<Millis>(0, (ms + 999) / 1000);
  const Millis minutes = seconds / 60;
  const Millis rest = seconds % 60;
  return std::string(T::kTimeLeft) + std::to_string(minutes) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

StopOutcome StopOutcomeOf(TransferStage stage, bool writeCommand) {
  switch (stage) {
    case TransferStage::Read: return StopOutcome::ReadDiscarded;
    case TransferStage::Backup: return StopOutcome::NothingWritten;
    case TransferStage::Write: return StopOutcome::MayBeIncomplete;
    case TransferStage::Verify: return StopOutcome::WrittenNotVerified;
    case TransferStage::None: break;
  }
  // Between the copy and the write, or while "SAVE\n" waits: nothing of the
  // image has gone out.
  return writeCommand ? StopOutcome::NothingWritten : StopOutcome::NothingSent;
}

std::string StopText(const StoppedTransfer& stopped) {
  switch (stopped.outcome) {
    case StopOutcome::NothingSent: return T::kStoppedNothingSent;
    case StopOutcome::NothingWritten: return T::kStoppedNothingWritten;
    case StopOutcome::ReadDiscarded: return T::kStoppedReadDiscarded;
    case StopOutcome::MayBeIncomplete:
      return std::string(T::kStoppedAfter) + std::to_string(stopped.sent) + T::kStoppedOf +
             std::to_string(stopped.total) + T::kStoppedBytes + "\r" + link_texts::kMayBeIncomplete;
    case StopOutcome::WrittenNotVerified: return T::kStoppedNotVerified;
  }
  return {};
}

}  // namespace vemtaro
