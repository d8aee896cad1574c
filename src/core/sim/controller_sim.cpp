#include "sim/controller_sim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <initializer_list>

#include "model/layout.h"
#include "model/profiles.h"

namespace vemtaro::sim {
namespace {

using wire::kBye;
using wire::kEndStatus;
using wire::kId;
using wire::kLoad;
using wire::kLoadOk;
using wire::kPc;
using wire::kPcOk;
using wire::kReleSet;
using wire::kSave;
using wire::kSaveOk;
using wire::kStat;
using wire::kStatus;
using wire::kTime;
using wire::kTimeOk;
using wire::kVersionStart;
// The end of every reply line the controller sends.
constexpr std::string_view kLineEnd = wire::kReplyEnd;

// Longest command text, so the tail of seen bytes never needs to be longer.
constexpr std::size_t kTailLength = 16;
// A line (time, date, relays) longer than this is not a line the controller knows.
constexpr std::size_t kMaxLine = 64;
// Unexpected bytes this far apart belong to separate runs.
constexpr std::int64_t kRunPauseMs = 10;
// Bytes of an unexpected run shown in its violation text.
constexpr std::size_t kShownBytes = 16;

using Texts = std::initializer_list<std::string_view>;
constexpr Texts kProbingTexts = {kBye, kPc};
constexpr Texts kAwaitingTexts = {kPcOk, kPc, kBye};
constexpr Texts kCommandTexts = {kLoad, kSave, kTime, kId, kStat, kReleSet, kBye};

using Days = std::chrono::sys_days;
constexpr Days kClockEpoch = Days{std::chrono::year{2000} / std::chrono::January / 1};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

std::optional<std::int64_t> SecondsOf(const ClockTime& t) {
  const std::chrono::year_month_day date{std::chrono::year{t.year}, std::chrono::month{static_cast<unsigned>(t.month)},
                                         std::chrono::day{static_cast<unsigned>(t.day)}};
  if (!date.ok() || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59) {
    return std::nullopt;
  }
  const std::int64_t days = (Days{date} - kClockEpoch).count();
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// Two decimal digits at text[at], or -1.
int TwoDigits(std::string_view text, std::size_t at) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(text[at]) || !digit(text[at + 1])) return -1;
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// "HH:MM:SS" and "DD-MM-YY" (years 2000..2099) as a clock time.
std::optional<ClockTime> ParseClock(std::string_view time, std::string_view date) {
  if (time.size() != 8 || date.size() != 8 || time[2] != ':' || time[5] != ':' || date[2] != '-' || date[5] != '-') {
    return std::nullopt;
  }
  const int values[6] = {TwoDigits(time, 0), TwoDigits(time, 3), TwoDigits(time, 6),
                         TwoDigits(date, 0), TwoDigits(date, 3), TwoDigits(date, 6)};
  for (int v : values) {
    if (v < 0) return std::nullopt;
  }
  ClockTime t{2000 + values[5], values[4], values[3], values[0], values[1], values[2]};
  if (!SecondsOf(t)) return std::nullopt;
  return t;
}

// "HH:MM:SS" with a real time of day.
bool ValidTime(std::string_view line) { return ParseClock(line, "01-01-00").has_value(); }
// "DD-MM-YY" with a real date (years 2000..2099).
bool ValidDate(std::string_view line) { return ParseClock("00:00:00", line).has_value(); }
bool ValidRelays(std::string_view line) {
  return line.size() == 8 && std::all_of(line.begin(), line.end(), [](char c) { return c == '0' || c == '1'; });
}

std::string Hex(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(byte));
  return text;
}

// Bytes in quotes as a C string literal would show them.
std::string Quoted(std::string_view bytes) {
  std::string text = "\"";
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(byte));
      text += escape;
    }
  }
  return text + "\"";
}

// Bytes in hex, "50 43 0d 0a".
std::string HexList(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    char item[4];
    std::snprintf(item, sizeof item, "%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    if (!text.empty()) text += ' ';
    text += item;
  }
  return text;
}

// Microseconds as milliseconds, with the fraction only when there is one.
std::string MsText(std::int64_t us) {
  char text[32];
  if (us % 1000 == 0) {
    std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(us / 1000));
  } else {
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(us) / 1000.0);
  }
  return text;
}

bool BeginsAny(std::string_view bytes, Texts texts) {
  return std::any_of(texts.begin(), texts.end(), [bytes](std::string_view t) { return t.starts_with(bytes); });
}

bool IsAny(std::string_view bytes, Texts texts) {
  return std::any_of(texts.begin(), texts.end(), [bytes](std::string_view t) { return t == bytes; });
}

}  // namespace

std::string DefaultVersionText(int version) {
  char number[16];
  std::snprintf(number, sizeof number, "%3d", version);
  return std::string("GSM-ALARM") + number;
}

std::size_t ImageLengthOf(int version) {
  const VersionProfile* profile = FindProfile(version);
  return profile != nullptr ? profile->imageLength : layout::kLongImageLength;
}

ControllerSim::ControllerSim(ControllerOptions options) : options_(std::move(options)) {
  versionText_ = options_.versionText ? *options_.versionText : DefaultVersionText(options_.version);
  SetImage(options_.image ? *options_.image : Bytes{});
  identifiers_.fill(std::string(layout::kIdentifierLength, '0'));
  options_.probeIntervalMs = std::max<std::int64_t>(options_.probeIntervalMs, 1);
}

void ControllerSim::SetImage(Bytes image) {
  image.resize(ImageLengthOf(options_.version), 0);
  image_ = std::move(image);
}

std::string ControllerSim::Receive(std::string_view bytes, std::int64_t nowMs) {
  ++receiveCount_;
  Start(nowMs);
  RunTimers(nowMs);
  // What is due by now has gone out before these bytes came in.
  std::string out = TakeDue(nowMs);
  for (char c : bytes) Handle(static_cast<std::uint8_t>(c), nowMs);
  if (options_.strict) ReportUnexpected();
  return out + TakeDue(nowMs);
}

std::string ControllerSim::Poll(std::int64_t nowMs) {
  Start(nowMs);
  RunTimers(nowMs);
  return TakeDue(nowMs);
}

std::optional<std::int64_t> ControllerSim::NextEventMs() const {
  std::optional<std::int64_t> next;
  const auto consider = [&next](std::int64_t ms) {
    if (!next || ms < *next) next = ms;
  };
  if (!queue_.empty()) consider(FloorDiv(queue_.front().dueUs + 999, 1000));
  if (!started_) return next;
  switch (state_) {
    case State::Probing: consider(nextProbeMs_); break;
    case State::AwaitingPcOk:
      consider(pcOkDeadlineMs_);
      if (options_.keepProbing) consider(nextProbeMs_);
      break;
    case State::ReceivingImage:
    case State::ReadingTime:
    case State::ReadingDate:
    case State::ReadingRelays: consider(lastRxMs_ + options_.idleTimeoutMs); break;
    case State::Connected:
    case State::HungUp: break;
  }
  return next;
}

void ControllerSim::Restart(std::int64_t nowMs) {
  queue_.clear();
  takenCount_ = queuedCount_;
  byeMs_.reset();
  probeEnd_.reset();
  ackEnd_.reset();
  lineFreeUs_ = 0;
  busyUntilUs_ = 0;
  started_ = false;
  Start(nowMs);
  StartProbing(nowMs);
}

std::string ControllerSim::ClockText(std::int64_t nowMs) const {
  const std::int64_t seconds = clockBaseSec_ + FloorDiv(nowMs - clockBaseMs_, 1000);
  const std::int64_t dayNumber = FloorDiv(seconds, 86400);
  const std::int64_t inDay = seconds - dayNumber * 86400;
  const std::chrono::year_month_day date{kClockEpoch + std::chrono::days{dayNumber}};
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d*%02u-%02u-%02d", static_cast<int>(inDay / 3600),
                static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60), static_cast<unsigned>(date.day()),
                static_cast<unsigned>(date.month()), ((static_cast<int>(date.year()) % 100) + 100) % 100);
  return text;
}

void ControllerSim::SetClock(const ClockTime& time, std::int64_t nowMs) {
  const auto seconds = SecondsOf(time);
  if (!seconds) return;
  clockBaseSec_ = *seconds;
  clockBaseMs_ = nowMs;
  clockSet_ = true;
}

void ControllerSim::Start(std::int64_t nowMs) {
  if (started_) return;
  started_ = true;
  nextProbeMs_ = nowMs;
  if (!clockSet_) SetClock(options_.clock, nowMs);
  if (!clockSet_) SetClock(ClockTime{}, nowMs);  // an impossible start time: the clock's epoch
}

void ControllerSim::StartProbing(std::int64_t firstProbeMs) {
  state_ = State::Probing;
  nextProbeMs_ = firstProbeMs;
  ClearCommandText();
  ClearLine();
}

void ControllerSim::ClearCommandText() {
  tail_.clear();
  commandStart_.clear();
  if (unexpectedOpen_) {
    ReportUnexpected();
    unexpectedOpen_ = false;
  }
}

void ControllerSim::ClearLine() {
  line_.clear();
  rawLine_.clear();
  rawLineLength_ = 0;
}

void ControllerSim::RunTimers(std::int64_t nowMs) {
  if (state_ == State::AwaitingPcOk && nowMs >= pcOkDeadlineMs_) {
    // No "PC_OK": the PC did not take the version; start probing again.
    StartProbing(pcOkDeadlineMs_);
  }
  const bool probing = state_ == State::Probing || (options_.keepProbing && state_ == State::AwaitingPcOk);
  if (probing && nextProbeMs_ <= nowMs) {
    // A late call sends the one overdue probe, not a burst of them.
    const std::uint64_t queuedBefore = queuedCount_;
    Send(options_.probe, nextProbeMs_);
    if (byeMs_ && !probeEnd_ && queuedCount_ != queuedBefore) probeEnd_ = queuedCount_;
    while (nextProbeMs_ <= nowMs) nextProbeMs_ += options_.probeIntervalMs;
  }
  const bool midCommand = state_ == State::ReceivingImage || state_ == State::ReadingTime ||
                          state_ == State::ReadingDate || state_ == State::ReadingRelays;
  if (midCommand && nowMs - lastRxMs_ >= options_.idleTimeoutMs) {
    // The PC went quiet in the middle of a command: drop it and take commands
    // again. Bytes already written into the image stay there.
    state_ = State::Connected;
    ClearCommandText();
    ClearLine();
  }
}

void ControllerSim::Handle(std::uint8_t byte, std::int64_t nowMs) {
  if (state_ == State::HungUp) return;
  lastRxMs_ = nowMs;
  switch (state_) {
    case State::Probing:
    case State::AwaitingPcOk:
    case State::Connected: HandleCommand(byte, nowMs); break;
    case State::ReceivingImage: HandleImageByte(byte, nowMs); break;
    case State::ReadingTime:
    case State::ReadingDate:
    case State::ReadingRelays: HandleLine(byte, nowMs); break;
    case State::HungUp: break;
  }
}

void ControllerSim::HandleCommand(std::uint8_t byte, std::int64_t nowMs) {
  // Commands are recognised by the text the seen bytes end with, in exact
  // letter case; anything else in between is ignored.
  if (options_.strict) TrackCommandByte(byte, nowMs);
  tail_.push_back(static_cast<char>(byte));
  if (tail_.size() > kTailLength) tail_.erase(0, tail_.size() - kTailLength);
  const auto ends = [this](std::string_view text) { return tail_.ends_with(text); };
  const auto sendVersion = [&] {
    Send(std::string(kVersionStart) + versionText_ + std::string(kLineEnd), ReplyMs(nowMs));
    state_ = State::AwaitingPcOk;
    pcOkDeadlineMs_ = nowMs + options_.pcOkTimeoutMs;
    byeMs_.reset();
    probeEnd_.reset();
    ClearCommandText();
  };

  if (state_ == State::Probing) {
    if (ends(kPc)) {
      if (options_.strict && byeMs_ && !(probeEnd_ && GoneOut(*probeEnd_))) {
        Violation("probing: \"PC\\r\\n\" came " + std::to_string(nowMs - *byeMs_) +
                  " ms after \"BYE\", before a new probe was sent: the PC answered a probe after BYE");
      }
      sendVersion();
    }
    return;
  }
  if (ends(kBye)) {
    // End of session: probe again after one interval.
    StartProbing(nowMs + options_.probeIntervalMs);
    byeMs_ = nowMs;
    probeEnd_.reset();
    return;
  }
  if (state_ == State::AwaitingPcOk) {
    if (ends(kPcOk)) {
      state_ = State::Connected;
      ClearCommandText();
    } else if (ends(kPc)) {
      sendVersion();  // the PC answered a later probe as well: answer it again
    }
    return;
  }

  // Connected.
  const std::int64_t replyMs = ReplyMs(nowMs);
  if (ends(kLoad)) {
    ClearCommandText();
    SendLoad(nowMs);
  } else if (ends(kSave)) {
    ClearCommandText();
    Send(kSaveOk, replyMs);
    state_ = State::ReceivingImage;
    imageIndex_ = 0;
    separatorNext_ = false;
    dropsLeft_ = faults_.dropAckCount;
    dropped_ = 0;
    readingStartsMs_.clear();
    currentReadingStartMs_.reset();
    lateUsed_ = false;
    busyUntilUs_ = 0;
    ackEnd_.reset();
  } else if (ends(kTime)) {
    ClearCommandText();
    Send(kTimeOk, replyMs);
    state_ = State::ReadingTime;
    ClearLine();
  } else if (ends(kId)) {
    ClearCommandText();
    std::string reply;
    for (const std::string& id : identifiers_) {
      std::string group = id.substr(0, layout::kIdentifierLength);
      group.resize(layout::kIdentifierLength, '0');
      reply += group;
    }
    Send(reply + std::string(kLineEnd), replyMs);
  } else if (ends(kStat)) {
    ClearCommandText();
    std::string reply(kStatus);
    for (int input = 8; input >= 1; --input) reply.push_back(status_.inputs[input - 1] ? '1' : '0');
    reply += kLineEnd;
    for (const std::string& line : status_.analog) reply += line + std::string(kLineEnd);
    for (const std::string& line : status_.sensors) reply += line + std::string(kLineEnd);
    reply += status_.key + std::string(kLineEnd);
    reply += kEndStatus;
    Send(reply, replyMs);
  } else if (ends(kReleSet)) {
    ClearCommandText();
    state_ = State::ReadingRelays;
    ClearLine();
  }
}

void ControllerSim::SendLoad(std::int64_t nowMs) {
  if (faults_.noLoadOk) return;
  Bytes out = image_;
  // Unless strict, the checksum is computed over the memory as it is sent, so
  // a version that has one always delivers a matching last byte. A strict
  // controller sends what it was written, checksum byte included.
  const VersionProfile* profile = FindProfile(options_.version);
  if (!options_.strict && !out.empty() && profile != nullptr && profile->checksum) out.back() = ImageChecksum(out);
  if (!out.empty() && faults_.badChecksum) out.back() = static_cast<std::uint8_t>(ImageChecksum(out) + 1);
  if (faults_.shortImage && *faults_.shortImage < out.size()) out.resize(*faults_.shortImage);

  std::string reply = std::string(kLoadOk) + std::string(kLineEnd);
  const bool hangUp = faults_.hangUpAt && *faults_.hangUpAt < out.size();
  const std::size_t count = hangUp ? *faults_.hangUpAt : out.size();
  reply.append(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(count));
  if (!hangUp) reply += std::string(kLoadOk) + std::string(kLineEnd);
  Send(reply, ReplyMs(nowMs));
  if (hangUp) state_ = State::HungUp;
}

void ControllerSim::CheckSchedule(std::size_t pause, std::int64_t nowMs, const std::string& what) {
  // Bytes measured on a real line arrive late by however long the host took
  // to read them, never early: a late reading lengthens one gap and shortens
  // the next, so single gaps say little. The PC's pauses put every byte at
  // least 5 ms per pause after each byte before it. A byte is reckoned from
  // the bytes of the last few readings before its own: ahead of the earliest
  // schedule they allow (less the tolerance), it proves a pause too short or
  // missing. A stall of the host is one reading, so the readings on time
  // around it keep the reckoning; and a reckoning from a few readings back,
  // not from the first byte, stays sharp through a long write in which the
  // PC's pauses, each a little over 5 ms, add up.
  // `pause` counts the pauses before the byte: 2k for image byte k, 2k + 1 for
  // its separator.
  const std::int64_t start = nowMs - kSeparatorPauseMs * static_cast<std::int64_t>(pause);
  if (pause == 0) {
    readingStartsMs_.clear();
    currentReadingStartMs_.reset();
  }
  if (currentReading_ != receiveCount_) {
    // The first byte of a new reading: the last one joins the window.
    if (currentReadingStartMs_) readingStartsMs_.push_back(*currentReadingStartMs_);
    if (readingStartsMs_.size() > kScheduleWindow) readingStartsMs_.pop_front();
    currentReading_ = receiveCount_;
    currentReadingStartMs_.reset();
  }
  // A reckoning needs a reading besides one that may itself have come late:
  // the first reading of a write alone would take a stall of the host before
  // it for a pause too short after it.
  if (readingStartsMs_.size() >= 2) {
    const std::int64_t earliest = *std::min_element(readingStartsMs_.begin(), readingStartsMs_.end());
    if (start < earliest - options_.gapToleranceMs) {
      Violation("write: " + what + " came " + std::to_string(earliest - start) + " ms ahead of the " +
                std::to_string(kSeparatorPauseMs) + " ms pauses before it (more than the tolerance of " +
                std::to_string(options_.gapToleranceMs) + " ms)");
    }
  }
  currentReadingStartMs_ = std::min(start, currentReadingStartMs_.value_or(start));
}

void ControllerSim::HandleImageByte(std::uint8_t byte, std::int64_t nowMs) {
  const bool acknowledged = versions::AcknowledgedBytes(options_.version);
  const std::size_t length = image_.size();
  const std::int64_t minimumGapMs = kSeparatorPauseMs - options_.gapToleranceMs;
  const auto shortBy = [this, minimumGapMs] {
    std::string text = ", less than " + std::to_string(minimumGapMs) + " ms";
    if (options_.gapToleranceMs != 0) {
      text += " (" + std::to_string(kSeparatorPauseMs) + " ms less a tolerance of " +
              std::to_string(options_.gapToleranceMs) + " ms)";
    }
    return text;
  };
  if (!acknowledged && separatorNext_) {
    // Below version 12 every image byte is followed by a separator; whatever
    // byte comes there is taken as the separator ("\n" from the PC), so image
    // bytes of any value stay in step.
    separatorNext_ = false;
    if (options_.strict) {
      if (byte != wire::kLineEnd.front()) {
        Violation("write: byte after image byte " + std::to_string(imageIndex_ - 1) + " is " + Hex(byte) +
                  ", not the separator \"\\n\" (0x0a)");
      }
      const std::string what = "separator after image byte " + std::to_string(imageIndex_ - 1);
      if (options_.gapToleranceMs > 0) {
        CheckSchedule(2 * (imageIndex_ - 1) + 1, nowMs, what);
      } else if (nowMs - lastImageByteMs_ < minimumGapMs) {
        Violation("write: " + what + " came " + std::to_string(nowMs - lastImageByteMs_) + " ms after the byte" +
                  shortBy());
      }
    }
    lastSeparatorMs_ = nowMs;
    if (imageIndex_ >= length) FinishWrite(ReplyMs(nowMs));
    return;
  }

  const std::size_t k = imageIndex_;
  if (faults_.hangUpAt && k >= *faults_.hangUpAt) {
    state_ = State::HungUp;
    return;
  }
  if (acknowledged) {
    if (nowMs * 1000 < busyUntilUs_) return;  // still busy with a late acknowledgement
    if (options_.strict && ackEnd_ && !GoneOut(*ackEnd_)) {
      Violation("write: image byte " + std::to_string(k) + " came at " + std::to_string(nowMs) + " ms, before the " +
                Quoted(options_.ack) + " for byte " + std::to_string(k - 1) + " (due at " + MsText(ackDueUs_) +
                ") had gone out: the PC did not wait for the acknowledgement");
    }
    if (faults_.dropAckAt && *faults_.dropAckAt == k && dropsLeft_ > 0) {
      --dropsLeft_;  // taken as not received: the PC's repeat is byte k again
      if (++dropped_ >= kPcByteAttempts) {
        // The PC sends a byte at most three times: after the third copy went
        // unanswered it has given up the write, and what it sends next is a
        // command again (its "BYE").
        state_ = State::Connected;
        ClearCommandText();
      }
      return;
    }
  } else if (options_.strict && options_.gapToleranceMs > 0) {
    CheckSchedule(2 * k, nowMs, "image byte " + std::to_string(k));
  } else if (options_.strict && k > 0 && nowMs - lastSeparatorMs_ < minimumGapMs) {
    // The first byte may follow "SAVE_OK" at once.
    Violation("write: image byte " + std::to_string(k) + " came " + std::to_string(nowMs - lastSeparatorMs_) +
              " ms after the separator of byte " + std::to_string(k - 1) + shortBy());
  }
  image_[k] = byte;  // written through at once: a broken write leaves its first bytes
  ++imageIndex_;
  if (options_.strict && imageIndex_ == length) {
    const VersionProfile* profile = FindProfile(options_.version);
    const std::uint8_t sum = ImageChecksum(image_);
    if (profile != nullptr && profile->checksum && image_.back() != sum) {
      Violation("write: checksum byte at " + std::to_string(length - 1) + " is " + Hex(image_.back()) +
                ", the image sums to " + Hex(sum));
    }
  }
  if (!acknowledged) {
    separatorNext_ = true;
    lastImageByteMs_ = nowMs;
    return;
  }
  std::int64_t ackMs = ReplyMs(nowMs);
  if (faults_.lateAckAt && *faults_.lateAckAt == k && !lateUsed_) {
    lateUsed_ = true;
    ackMs += faults_.lateAckMs;
    busyUntilUs_ = ackMs * 1000;
  }
  const std::uint64_t queuedBefore = queuedCount_;
  Send(options_.ack, ackMs);
  if (queuedCount_ != queuedBefore) {
    ackEnd_ = queuedCount_;
    ackDueUs_ = queue_.back().dueUs;
  } else {
    ackEnd_.reset();  // nothing went out: nothing to wait for
  }
  if (imageIndex_ >= length) FinishWrite(ackMs);
}

void ControllerSim::FinishWrite(std::int64_t endMs) {
  if (!faults_.noFinalSaveOk) Send(kSaveOk, endMs + options_.saveOkDelayMs);
  state_ = State::Connected;
  ClearCommandText();
}

void ControllerSim::HandleLine(std::uint8_t byte, std::int64_t nowMs) {
  if (byte != wire::kLineEnd.front()) {
    // A "\r" before the "\n" is tolerated; an overlong line is cut.
    if (byte != '\r' && line_.size() < kMaxLine) line_.push_back(static_cast<char>(byte));
    if (rawLine_.size() < kMaxLine) rawLine_.push_back(static_cast<char>(byte));
    ++rawLineLength_;
    return;
  }
  if (options_.strict) {
    std::string shown = Quoted(rawLine_);
    if (rawLineLength_ > rawLine_.size()) shown += " (" + std::to_string(rawLineLength_) + " bytes)";
    if (state_ == State::ReadingTime && !ValidTime(rawLine_)) {
      Violation("time: time line " + shown + " is not HH:MM:SS");
    } else if (state_ == State::ReadingDate && !ValidDate(rawLine_)) {
      Violation("time: date line " + shown + " is not DD-MM-YY");
    } else if (state_ == State::ReadingRelays && !ValidRelays(rawLine_)) {
      Violation("relays: relay line " + shown + " is not eight '0'/'1' characters");
    }
  }
  switch (state_) {
    case State::ReadingTime:
      timeLine_ = line_;
      state_ = State::ReadingDate;
      break;
    case State::ReadingDate: {
      // An unreadable time or date leaves the clock as it was; the clock is
      // reported either way.
      if (const auto time = ParseClock(timeLine_, line_)) SetClock(*time, nowMs);
      Send(ClockText(nowMs) + options_.clockTrailer + std::string(kLineEnd), ReplyMs(nowMs));
      state_ = State::Connected;
      break;
    }
    case State::ReadingRelays:
      // Relay k takes character k, relay 1 first: '1' switches it on, any
      // other character off; relays beyond a short line keep their state.
      for (std::size_t i = 0; i < relays_.size() && i < line_.size(); ++i) relays_[i] = line_[i] == '1';
      state_ = State::Connected;
      break;
    default: break;
  }
  ClearLine();
  ClearCommandText();
}

void ControllerSim::Send(std::string_view bytes, std::int64_t dueMs) { SendAt(bytes, dueMs * 1000); }

void ControllerSim::SendAt(std::string_view bytes, std::int64_t dueUs) {
  if (faults_.silent) return;
  // An answer that would overflow the queue is not sent at all, never in part.
  if (queue_.size() + bytes.size() > kMaxQueuedBytes) return;
  for (char c : bytes) {
    const std::uint8_t byte = faults_.garbageSeed ? NextGarbage() : static_cast<std::uint8_t>(c);
    // The line sends in order: nothing goes out before what was queued earlier.
    const std::int64_t due = std::max(dueUs, lineFreeUs_);
    queue_.push_back(Output{due, byte});
    ++queuedCount_;
    lineFreeUs_ = due + (options_.paced ? kByteTimeUs : 0);
  }
}

std::string ControllerSim::TakeDueUs(std::int64_t nowUs) {
  std::string out;
  while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
    out.push_back(static_cast<char>(queue_.front().byte));
    queue_.pop_front();
    ++takenCount_;
  }
  return out;
}

void ControllerSim::ClearViolations() {
  violations_.clear();
  violationCount_ = 0;
}

void ControllerSim::Violation(std::string text) {
  ++violationCount_;
  if (onViolation_) onViolation_(text);
  if (violations_.size() < kMaxViolationTexts) violations_.push_back(std::move(text));
}

// Follows the bytes of a command state: commandStart_ keeps the longest end
// of them that begins a text the state takes; bytes that fall out of it begin
// nothing and join the current run of unexpected bytes.
void ControllerSim::TrackCommandByte(std::uint8_t byte, std::int64_t nowMs) {
  const Texts expected = state_ == State::Probing        ? kProbingTexts
                         : state_ == State::AwaitingPcOk ? kAwaitingTexts
                                                         : kCommandTexts;
  std::string candidate = commandStart_;
  candidate.push_back(static_cast<char>(byte));
  std::size_t drop = 0;
  while (drop < candidate.size() && !BeginsAny(std::string_view(candidate).substr(drop), expected)) ++drop;
  if (drop > 0) {
    if (unexpectedOpen_ && nowMs - unexpectedLastMs_ >= kRunPauseMs) {
      ReportUnexpected();
      unexpectedOpen_ = false;
    }
    if (!unexpectedOpen_) {
      unexpectedOpen_ = true;
      unexpectedReported_ = false;
      unexpected_.clear();
      unexpectedCount_ = 0;
      unexpectedState_ = state_;
    }
    unexpected_.append(candidate, 0, std::min(drop, kShownBytes - std::min(kShownBytes, unexpected_.size())));
    unexpectedCount_ += drop;
    unexpectedLastMs_ = nowMs;
  }
  commandStart_ = candidate.substr(drop);
  if (IsAny(commandStart_, expected)) {
    // A whole text: it ends the run before it.
    commandStart_.clear();
    if (unexpectedOpen_) {
      ReportUnexpected();
      unexpectedOpen_ = false;
    }
  }
}

// Reports the open run of unexpected bytes, once.
void ControllerSim::ReportUnexpected() {
  if (!unexpectedOpen_ || unexpectedReported_) return;
  unexpectedReported_ = true;
  std::string bytes = Quoted(unexpected_) + " (" + HexList(unexpected_);
  if (unexpectedCount_ > unexpected_.size()) bytes += " ...; " + std::to_string(unexpectedCount_) + " bytes";
  bytes += ")";
  switch (unexpectedState_) {
    case State::Probing:
      Violation("probing: unexpected " + bytes + " where \"BYE\" or \"PC\\r\\n\" should come");
      break;
    case State::AwaitingPcOk:
      Violation("awaiting PC_OK: unexpected " + bytes + " where \"PC_OK\", \"PC\\r\\n\" or \"BYE\" should come");
      break;
    default: Violation("connected: unexpected " + bytes + " where a command should begin"); break;
  }
}

std::uint8_t ControllerSim::NextGarbage() {
  if (garbageSeedInUse_ != faults_.garbageSeed) {
    garbageSeedInUse_ = faults_.garbageSeed;
    garbageState_ = faults_.garbageSeed.value_or(0) | 1u;  // xorshift needs a non-zero state
  }
  garbageState_ ^= garbageState_ << 13;
  garbageState_ ^= garbageState_ >> 17;
  garbageState_ ^= garbageState_ << 5;
  return static_cast<std::uint8_t>(garbageState_ >> 24);
}

}  // namespace vemtaro::sim
