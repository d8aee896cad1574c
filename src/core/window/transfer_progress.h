// What a transfer shows while it runs and what it leaves when it ends: the
// stage it is in, one progress over all its stages weighted by their time on
// the line, the time left, and what a transfer stopped by the user leaves
// behind, said the same way by the desktop program and vemtaro-cli.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "link/ticks.h"
#include "link/wire.h"

namespace vemtaro {

// The stages of a transfer: a read, the copy read before a write, the write
// itself, the read-back after it.
enum class TransferStage { None, Read, Backup, Write, Verify };

namespace progress_texts {
inline constexpr const char* kStageRead = "Чтение…";
inline constexpr const char* kStageBackup = "Резервная копия…";
inline constexpr const char* kStageWrite = "Запись…";
inline constexpr const char* kStageVerify = "Проверка…";
inline constexpr const char* kStageStopping = "Отмена…";
inline constexpr const char* kTimeLeft = "Осталось: ";

// What a transfer stopped by the user leaves.
inline constexpr const char* kStoppedNothingSent = "Отменено: контроллеру ничего не передано.";
inline constexpr const char* kStoppedNothingWritten =
    "Запись отменена: конфигурация в контроллер не передавалась, в нём осталась прежняя.";
inline constexpr const char* kStoppedReadDiscarded =
    "Загрузка отменена: прочитанное отброшено, конфигурация в программе не изменилась.";
inline constexpr const char* kStoppedAfter = "Запись прервана после ";
inline constexpr const char* kStoppedOf = " из ";
inline constexpr const char* kStoppedBytes = " байт.";
inline constexpr const char* kStoppedNotVerified =
    "Конфигурация передана в контроллер, но не проверена: чтение для проверки отменено.";

// How a transfer ended, as it stays readable after the end.
inline constexpr const char* kWriteVerified = "Сохранение завершено и проверено.";
inline constexpr const char* kWriteNotVerified =
    "Сохранение завершено, но не проверено: конфигурация не прочитана из контроллера для сравнения.";
inline constexpr const char* kBackupKept = "Резервная копия: ";
inline constexpr const char* kNoBackup = "Резервная копия не делалась.";
inline constexpr const char* kReadApplied =
    "Загрузка завершена: конфигурация прочитана из контроллера и показана в программе.";
}  // namespace progress_texts

// The time on the line of `bytes` bytes of a stage at 9600 bit/s (ten bits a
// byte), with the program's own pauses: a read takes each byte once; a write
// sends each byte and, from version 12 on, takes its acknowledgement "o", or
// below it sends "\n" after it with a pause of 5 ms before and after.
double StageMs(TransferStage stage, std::size_t bytes, int version);

// The progress of one command over its stages, in the order they run.
class TransferProgress {
 public:
  // A new command: its stages, the image's length and the firmware version.
  void Begin(std::vector<TransferStage> stages, std::size_t length, int version);
  // The command is over.
  void End() { *this = TransferProgress(); }
  // A stage has started to move bytes at `nowMs`; a stage the command does
  // not have changes nothing.
  void Enter(TransferStage stage, Millis nowMs);
  TransferStage Stage() const { return current_ < stages_.size() ? stages_[current_] : TransferStage::None; }
  std::size_t Length() const { return length_; }
  const std::vector<TransferStage>& Stages() const { return stages_; }

  // The share of the whole command done, 0..1, when the current stage has
  // moved `done` bytes: the stages before it count whole, each by its time.
  double Fraction(std::size_t done) const;
  // Milliseconds left: the rest of the current stage at the pace it has kept
  // so far (the line's pace until it has run for a while), and the stages
  // after it at the line's pace. Nothing before the first stage has started.
  std::optional<Millis> MsLeft(std::size_t done, Millis nowMs) const;

  // How long a stage must have run, and how many bytes it must have moved,
  // before its own pace is trusted over the line's.
  static constexpr Millis kPaceAfterMs = 500;
  static constexpr std::size_t kPaceAfterBytes = 64;

 private:
  double Before() const;  // planned time of the stages before the current one
  double Total() const;
  double Planned(std::size_t index, std::size_t bytes) const;

  std::vector<TransferStage> stages_;
  std::size_t current_ = 0;
  bool entered_ = false;
  Millis enteredMs_ = 0;
  std::size_t length_ = 0;
  int version_ = 15;
};

// "Осталось: 0:42" for 42 s; minutes are not limited.
std::string TimeLeftText(Millis ms);

// What a transfer stopped by the user (or by Ctrl-C) leaves behind.
enum class StopOutcome {
  NothingSent,         // nothing was under way
  NothingWritten,      // a write stopped before its first byte: the copy, or the wait before the write
  ReadDiscarded,       // a read: what came is dropped, nothing is applied
  MayBeIncomplete,     // a write stopped after some bytes went out
  WrittenNotVerified,  // the write went through, its read-back was stopped
};
// The one decision both programs make: the stage under way and whether a
// write command is under way (between its copy and its write no stage runs).
StopOutcome StopOutcomeOf(TransferStage stage, bool writeCommand);

// How a stop left the transfer: the outcome, and for a write how many of the
// image's bytes went out.
struct StoppedTransfer {
  StopOutcome outcome = StopOutcome::NothingSent;
  std::size_t sent = 0;
  std::size_t total = 0;
};
// The desktop program's text of a stop.
std::string StopText(const StoppedTransfer& stopped);

// How long the line stays quiet after a write was stopped half-way before the
// link goes on: half a second past the silence after which the controller
// drops the write, so that it takes what follows as a command, not as bytes of
// the configuration.
inline constexpr Millis kAbandonedWriteMs = controller_timing::kIdleMs + 500;
// After a read was stopped, the rest of the controller's reply is let pass:
// the link goes on once nothing has arrived for this long, or at the latest
// after kStoppedReadLimitMs.
inline constexpr Millis kQuietAfterStopMs = 300;
inline constexpr Millis kStoppedReadLimitMs = 15000;

}  // namespace vemtaro
