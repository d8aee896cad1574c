// The controller's side of the serial protocol, as a sans-I/O state machine.
//
// ControllerSim stands in for the alarm controller at the other end of the line.
// It is fed the bytes the PC sends together with the time (Receive), and is told
// when time passes (Poll); it never reads a clock or a port. Every byte it sends
// is queued with the time it is due; Receive and Poll hand back the bytes that
// are due by the time they are given, and NextEventMs says when something
// happens next (a queued byte, a probe, a time-out), so a host can sleep until
// then. With `paced` the bytes are spaced as they go out at 9600 bit/s.
//
// What it sends and accepts:
//   probing   "ATI\r" every probeIntervalMs until "PC\r\n" comes (with
//             keepProbing until "PC_OK" comes);
//             then "Ver.<version text>\r\n"; then it waits for "PC_OK".
//   "BYE"     ends the session: back to probing.
//   "LOAD\n"  "LOAD_OK", "\r\n", the image, "LOAD_OK\r\n".
//   "SAVE\n"  "SAVE_OK\r\n", then the image byte by byte: from version 12 on
//             each byte is answered with "o"; below 12 each byte comes with a
//             "\n" after it and is not answered; "SAVE_OK\r\n" at the end,
//             saveOkDelayMs after the last "o" or the last "\n".
//   "TIME\n"  "TIME_OK\r\n"; then "HH:MM:SS\n" and "DD-MM-YY\n" set the clock,
//             answered with the clock text and "\r\n".
//   "ID\n"    sixteen identifiers of 16 characters, "\r\n".
//   "STAT\n"  "STATUS\r\n", 18 lines ending in "\r\n", "ENDSTATUS\r\n".
//   "RELESET\n" then eight '0'/'1' and "\n": relay states, no answer.
//
// Strict mode checks the PC's side of all this and records every breach as a
// line of text (Violations): a read then delivers the image exactly as it was
// written, checksum byte included, so a wrong checksum is not mended on the
// way back. What it checks:
//   - the checksum byte a write ends with, for versions that have one;
//   - below version 12: "\n" after every image byte, and the PC's 5 ms pauses
//     from each image byte to its "\n" and from the "\n" to the next byte;
//   - from version 12 on: no image byte before the "o" of the one before it
//     has gone out;
//   - the time ("HH:MM:SS"), date ("DD-MM-YY") and relay ("01101000") lines;
//   - no bytes that begin none of the texts the controller can take in its
//     state: "BYE" or "PC\r\n" while probing; "PC_OK", "PC\r\n" or "BYE"
//     while waiting for "PC_OK"; a command once connected;
//   - no "PC\r\n" after "BYE" before a new probe has gone out.
// A byte "has gone out" once a Receive or Poll call has handed it out;
// Receive hands out what is due by its time before it takes the PC's bytes,
// so two bytes the PC sends in one chunk never have an "o" between them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/wire.h"
#include "model/image.h"

namespace vemtaro::sim {

// One byte on the line: 10 bits at 9600 bit/s, rounded to whole microseconds.
inline constexpr std::int64_t kByteTimeUs = 1042;

// Faults the controller can be told to show. They can be changed at any time
// through ControllerSim::faults(); each takes effect from the next byte.
struct Faults {
  // "LOAD\n" is ignored: not even "LOAD_OK" comes back.
  bool noLoadOk = false;
  // The delivered image's last byte is its checksum plus one.
  bool badChecksum = false;
  // Only the first n image bytes are delivered, framing otherwise unchanged.
  std::optional<std::size_t> shortImage;
  // Nothing at all leaves the controller (it still takes in what it is sent).
  bool silent = false;
  // Every byte the controller sends is replaced by a pseudo-random byte drawn
  // from this seed, as on a line with the wrong speed.
  std::optional<std::uint32_t> garbageSeed;
  // While writing (version 12 on): image byte k is taken as not received,
  // neither stored nor answered, dropAckCount times in a row; the next copy
  // of it is taken normally. 3 or more makes the PC give up.
  std::optional<std::size_t> dropAckAt;
  int dropAckCount = 1;
  // While writing (version 12 on): the "o" for image byte k comes lateAckMs
  // late. Until it has gone out the controller is busy storing and drops what
  // arrives, so a repeat of byte k sent meanwhile is not taken twice.
  std::optional<std::size_t> lateAckAt;
  std::int64_t lateAckMs = 0;
  // The final "SAVE_OK\r\n" of a write is not sent (the image is still kept).
  bool noFinalSaveOk = false;
  // From image byte k of a transfer on, the controller stops answering
  // entirely: a read delivers bytes 0..k-1 and nothing more; a write stores
  // bytes 0..k-1 and answers nothing from byte k on. It stays dead until
  // Restart().
  std::optional<std::size_t> hangUpAt;
};

// A date and time of the controller's clock; years 2000..2099.
struct ClockTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// What "STAT\n" reports. Texts are sent as they are.
struct StatusBlock {
  std::array<bool, 8> inputs{};                                                // contact inputs 1..8
  std::array<std::string, 8> analog{"0", "0", "0", "0", "0", "0", "0", "0"};   // inputs 1..8
  std::array<std::string, 8> sensors{"0", "0", "0", "0", "0", "0", "0", "0"};  // sensors 1..8
  std::string key = "0000000000000000";                                        // Touch Memory key code
};

struct ControllerOptions {
  int version = 15;                        // firmware version, decides image length and acks
  std::optional<std::string> versionText;  // whole text of the "Ver." reply; default DefaultVersionText
  std::optional<Bytes> image;              // stored image; zeros by default; fitted to the version's length
  std::int64_t probeIntervalMs = 1000;     // "ATI" period while probing
  std::string probe = std::string(wire::kProbe) + std::string(wire::kProbeEnd);  // "ATI" and one more byte
  std::string ack = std::string(wire::kAck);                // answer to each image byte from version 12 on
  std::int64_t pcOkTimeoutMs = 3000;                        // wait for "PC_OK" after the version, then probe again
  std::int64_t idleTimeoutMs = controller_timing::kIdleMs;  // silence that abandons a write or a half-received line
  std::int64_t replyDelayMs = 0;                            // from the end of a command to the first byte of its answer
  bool paced = false;                                       // space sent bytes kByteTimeUs apart
  ClockTime clock;                                          // clock at the first moment the controller sees
  std::string clockTrailer = "*";                           // sent after "HH:MM:SS*DD-MM-YY", before "\r\n"
  bool strict = false;                                      // check the PC's side and record violations
  // Strict, below 12. 0: the times are exact (virtual time) and every pause
  // must last 5 ms. Above 0: the times are measured on a real line, and each
  // byte must keep to the schedule of 5 ms pauses after the bytes shortly
  // before it, less this many ms (a late reading cannot make a byte early).
  std::int64_t gapToleranceMs = 0;
  std::int64_t saveOkDelayMs = 0;  // final "SAVE_OK\r\n" this long after the end of the image
  bool keepProbing = false;        // go on probing while waiting for "PC_OK"
};

// The PC's pause after each image byte and after each "\n" below version 12.
inline constexpr std::int64_t kSeparatorPauseMs = link_timing::kOldByteGapMs;
// How many readings of the line before its own a byte of a write below
// version 12 is reckoned against when the times are measured on a real line:
// about 8 bytes, 40 ms of pauses, while the host reads each as it comes.
inline constexpr std::size_t kScheduleWindow = 8;

// How many times the PC sends one image byte before it gives up a write.
inline constexpr int kPcByteAttempts = link_timing::kByteAttempts;

// Violation texts kept by a strict controller; later ones are only counted.
inline constexpr std::size_t kMaxViolationTexts = 100;
// The most bytes the controller holds queued for the line: a PC that repeats
// "LOAD\n" faster than the images go out (a paced line, a reply delay) gets
// no more answers once this much waits, so the queue stays bounded.
inline constexpr std::size_t kMaxQueuedBytes = 1 << 20;

// "GSM-ALARM" and the version right-aligned in characters 10..12, e.g.
// "GSM-ALARM 15", so that the PC reads the version from characters 10..12.
std::string DefaultVersionText(int version);

// Image length of a firmware version; versions without a profile use the long image.
std::size_t ImageLengthOf(int version);

class ControllerSim {
 public:
  enum class State {
    Probing,         // sending "ATI" until "PC\r\n"
    AwaitingPcOk,    // version sent, waiting for "PC_OK"
    Connected,       // taking commands
    ReceivingImage,  // after "SAVE\n"
    ReadingTime,     // after "TIME\n": the time line
    ReadingDate,     // the date line
    ReadingRelays,   // after "RELESET\n": the relay line
    HungUp,          // dead until Restart()
  };

  struct Output {
    std::int64_t dueUs;  // time the byte is due on the line, in microseconds
    std::uint8_t byte;
  };

  explicit ControllerSim(ControllerOptions options = {});

  // Takes the PC's bytes, arrived at nowMs; returns every byte due by nowMs.
  std::string Receive(std::string_view bytes, std::int64_t nowMs);
  // Lets time pass to nowMs; returns every byte due by nowMs.
  std::string Poll(std::int64_t nowMs);
  // The bytes due by nowUs, for a host that sends to the microsecond (the
  // timers still run only in Poll and Receive).
  std::string TakeDueUs(std::int64_t nowUs);
  // When the next queued byte is due, in microseconds.
  std::optional<std::int64_t> NextOutputUs() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.front().dueUs;
  }
  // When the controller next has something to do or send, in ms; none while
  // it only waits for the PC, and none before the first Receive or Poll.
  std::optional<std::int64_t> NextEventMs() const;
  // Bytes queued and not yet handed out.
  const std::deque<Output>& Pending() const { return queue_; }

  // Power cycle: clears the queue and the session, back to probing at nowMs.
  // The image, clock, identifiers, status and relays are kept.
  void Restart(std::int64_t nowMs);

  State state() const { return state_; }
  int version() const { return options_.version; }
  const std::string& VersionText() const { return versionText_; }
  const Bytes& image() const { return image_; }
  void SetImage(Bytes image);
  // The clock text "HH:MM:SS*DD-MM-YY" at nowMs.
  std::string ClockText(std::int64_t nowMs) const;
  void SetClock(const ClockTime& time, std::int64_t nowMs);
  std::array<std::string, 16>& identifiers() { return identifiers_; }
  StatusBlock& status() { return status_; }
  const std::array<bool, 8>& relays() const { return relays_; }
  Faults& faults() { return faults_; }

  // Strict mode: the first kMaxViolationTexts violations seen, one line each,
  // and how many there were in all.
  const std::vector<std::string>& Violations() const { return violations_; }
  std::size_t ViolationCount() const { return violationCount_; }
  void ClearViolations();
  // Called with every violation as it is recorded, the uncounted ones too.
  void SetViolationHandler(std::function<void(const std::string&)> handler) { onViolation_ = std::move(handler); }

 private:
  void Start(std::int64_t nowMs);
  void RunTimers(std::int64_t nowMs);
  void Handle(std::uint8_t byte, std::int64_t nowMs);
  void HandleCommand(std::uint8_t byte, std::int64_t nowMs);
  void HandleImageByte(std::uint8_t byte, std::int64_t nowMs);
  void HandleLine(std::uint8_t byte, std::int64_t nowMs);
  void FinishWrite(std::int64_t endMs);
  void StartProbing(std::int64_t firstProbeMs);
  void ClearCommandText();
  void ClearLine();
  void SendLoad(std::int64_t nowMs);
  void Send(std::string_view bytes, std::int64_t dueMs);
  void SendAt(std::string_view bytes, std::int64_t dueUs);
  std::string TakeDue(std::int64_t nowMs) { return TakeDueUs(nowMs * 1000); }
  std::int64_t ReplyMs(std::int64_t nowMs) const { return nowMs + options_.replyDelayMs; }
  std::uint8_t NextGarbage();

  // Strict checks.
  void Violation(std::string text);
  void CheckSchedule(std::size_t pause, std::int64_t nowMs, const std::string& what);
  void TrackCommandByte(std::uint8_t byte, std::int64_t nowMs);
  void ReportUnexpected();
  bool GoneOut(std::uint64_t end) const { return takenCount_ >= end; }

  ControllerOptions options_;
  std::string versionText_;
  Bytes image_;
  std::array<std::string, 16> identifiers_;
  StatusBlock status_;
  std::array<bool, 8> relays_{};
  Faults faults_;

  State state_ = State::Probing;
  bool started_ = false;
  std::int64_t nextProbeMs_ = 0;
  std::int64_t pcOkDeadlineMs_ = 0;
  std::int64_t lastRxMs_ = 0;
  std::string tail_;            // last bytes seen in a command state
  std::string line_;            // line being collected
  std::string timeLine_;        // the time line of a TIME command
  std::size_t imageIndex_ = 0;  // next image byte of a write
  bool separatorNext_ = false;  // below version 12: the "\n" after a byte is due
  int dropsLeft_ = 0;
  int dropped_ = 0;  // copies of the dropped byte not taken in this write
  // For the bytes of a write below version 12 measured on a real line: for
  // each of the last kScheduleWindow readings (Receive calls) before the
  // current one, the earliest arrival time of its bytes less 5 ms for each
  // pause before the byte; the same for the current reading so far.
  std::deque<std::int64_t> readingStartsMs_;
  std::optional<std::int64_t> currentReadingStartMs_;
  std::uint64_t receiveCount_ = 0;
  std::uint64_t currentReading_ = 0;
  bool lateUsed_ = false;
  std::int64_t busyUntilUs_ = 0;

  // Clock: clockBaseSec_ seconds since 2000-01-01 00:00:00 at clockBaseMs_.
  std::int64_t clockBaseSec_ = 0;
  std::int64_t clockBaseMs_ = 0;
  bool clockSet_ = false;

  std::deque<Output> queue_;
  std::int64_t lineFreeUs_ = 0;  // end of the last queued byte
  std::uint32_t garbageState_ = 0;
  std::optional<std::uint32_t> garbageSeedInUse_;
  std::uint64_t queuedCount_ = 0;  // bytes ever queued
  std::uint64_t takenCount_ = 0;   // bytes ever handed out (or dropped by Restart)

  // Strict mode.
  std::vector<std::string> violations_;
  std::size_t violationCount_ = 0;
  std::function<void(const std::string&)> onViolation_;
  std::string commandStart_;                // bytes that begin an expected text
  std::string unexpected_;                  // the first bytes of the current run of unexpected bytes
  std::size_t unexpectedCount_ = 0;         // and how many there are
  State unexpectedState_ = State::Probing;  // the state it came in
  bool unexpectedOpen_ = false;
  bool unexpectedReported_ = false;
  std::int64_t unexpectedLastMs_ = 0;
  std::string rawLine_;  // the line as sent, "\r" included
  std::size_t rawLineLength_ = 0;
  std::int64_t lastImageByteMs_ = 0;       // below 12: the last image byte's arrival
  std::int64_t lastSeparatorMs_ = 0;       // below 12: the last separator's arrival
  std::optional<std::uint64_t> ackEnd_;    // queue position just after the last "o" of the write
  std::int64_t ackDueUs_ = 0;              // when that "o" is due
  std::optional<std::int64_t> byeMs_;      // a session ended by "BYE", no probe gone out since
  std::optional<std::uint64_t> probeEnd_;  // the first probe queued after that "BYE"
};

}  // namespace vemtaro::sim
