// Packet matchers (TApdDataPacket) and the dispatcher that routes the bytes of
// one port to them.
//
// A matcher waits for a start condition, collects bytes up to an end condition
// and hands the collected bytes to its OnPacket handler, or reports a time-out.
// All matchers attached to one dispatcher watch the same byte stream in arrival
// order. While one of them is collecting, the others drop their partial start
// match and ignore every byte until that packet has been delivered or has timed
// out. Bytes that no matcher waits for are discarded: nothing is kept for a
// matcher armed later.
//
// Nothing here reads a port or a clock. The owner of the port feeds the
// received bytes with Feed() and the time with Poll(); every handler runs inside
// those calls, one event at a time. A handler that throws is reported to the
// dispatcher's error sink and the matcher goes on as if it had returned.
//
// A byte goes to the matchers that are armed when it arrives. A matcher that has
// delivered a packet stays disarmed until its handler has run, so bytes fed
// while a handler runs (the bytes that arrived during a pause inside it) are
// matched at once, against the matchers armed at that moment, after the bytes
// that arrived before them; packets and time-outs they bring are delivered
// after the running handler has returned, in order.
//
// A packet may hold at most MaxSize bytes: a line that floods bytes ends the
// collection (the matcher disarms and drops them, as after a time-out) instead
// of growing without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "link/ticks.h"

namespace vemtaro {

// Raised by the port and the matchers: arming with settings that cannot work,
// sending on a closed port or beyond the free send buffer.
class LinkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class StartCond { scString, scAnyData };  // the start string, or any byte

// The set of end conditions; both off means the packet is complete as soon as
// its start string has been seen.
struct EndCond {
  bool ecString = false;      // the end string ends the packet
  bool ecPacketSize = false;  // PacketSize bytes end the packet
  bool empty() const { return !ecString && !ecPacketSize; }
};

// The settings of a matcher, with their defaults. In StartString and EndString
// a '?' matches any one byte and a backslash makes the character after it
// literal. The strings, conditions, IgnoreCase, PacketSize and TimeOut are taken
// when the matcher is armed; AutoEnable and IncludeStrings when a packet is
// delivered.
struct PacketSettings {
  std::string Name;        // STARTPACK, Zagruzka, ...
  bool AutoEnable = true;  // armed again once its packet's handler has run
  StartCond StartCondition = StartCond::scString;
  EndCond EndCondition;
  std::string StartString;
  std::string EndString;
  bool IgnoreCase = true;
  int PacketSize = 0;
  bool IncludeStrings = true;  // the packet keeps its start and end strings
  int TimeOut = 2184;          // ticks; 0 means none
  // The most bytes a packet may hold, its start string included; beyond it the
  // packet is dropped and OnOverflow (or, when none is set, OnTimeout) called.
  std::size_t MaxSize = 65536;
};

class PacketDispatcher;

class TApdDataPacket {
 public:
  // Idle: disarmed, or armed while the port is closed. WaitingForStart: waiting
  // for the start string, or, for scAnyData armed while another matcher was
  // collecting, for the first byte after that one has finished.
  enum class State { Idle, WaitingForStart, Collecting };

  using PacketHandler = std::function<void(TApdDataPacket& sender, std::string_view data)>;
  using StringPacketHandler = std::function<void(TApdDataPacket& sender, const std::string& text)>;
  using TimeoutHandler = std::function<void(TApdDataPacket& sender)>;

  TApdDataPacket(const TApdDataPacket&) = delete;
  TApdDataPacket& operator=(const TApdDataPacket&) = delete;

  PacketSettings settings;
  PacketHandler OnPacket;
  StringPacketHandler OnStringPacket;
  TimeoutHandler OnTimeout;
  // A collected packet grew past MaxSize; called instead of OnTimeout when set.
  TimeoutHandler OnOverflow;

  const std::string& Name() const { return settings.Name; }
  PacketDispatcher& ComPort() const { return *port_; }

  // Arms or disarms the matcher at the time nowMs. Arming an armed matcher does
  // nothing (its partial match is kept); arming checks the settings and raises
  // LinkError, leaving the matcher disarmed, when they cannot work. Disarming
  // returns it to idle, cancels its time-out and drops its partial match.
  void SetEnabled(bool on, Millis nowMs);
  bool Enabled() const { return enabled_; }
  State state() const { return state_; }

  // The bytes the current packet holds so far (start string included), while
  // collecting.

 private:
  friend class PacketDispatcher;

  struct PatternChar {
    bool any = false;
    unsigned char ch = 0;
  };
  using Pattern = std::vector<PatternChar>;

  explicit TApdDataPacket(PacketDispatcher& port, PacketSettings s) : settings(std::move(s)), port_(&port) {}

  static Pattern Compile(std::string_view text, bool ignoreCase);
  bool Matches(const PatternChar& p, unsigned char byte) const;
  // Whether bytes[from..] is a beginning of the pattern.
  bool IsPrefix(const Pattern& pattern, std::string_view bytes, std::size_t from) const;

  void CheckSettings() const;
  // Enters the state an armed matcher takes when its port is open.
  void Begin(Millis nowMs);
  void GoIdle();
  void DropPartial() { partial_.clear(); }
  void StartTimeout(Millis nowMs);

  PacketDispatcher* port_;
  bool enabled_ = false;
  State state_ = State::Idle;
  bool ignoreCase_ = true;
  Pattern start_;
  Pattern end_;
  EndCond endCond_;
  StartCond startCond_ = StartCond::scString;
  std::size_t packetSize_ = 0;
  std::size_t maxSize_ = 0;
  int timeOut_ = 0;
  std::string partial_;      // bytes of a partial start match, from its beginning
  std::string data_;         // the packet from its beginning, while collecting
  std::size_t endFrom_ = 0;  // where in data_ the current end-string candidate begins
  bool timing_ = false;
  std::int64_t startTick_ = 0;
};

class PacketDispatcher {
 public:
  using ErrorSink = std::function<void(const std::string& text)>;

  PacketDispatcher() = default;
  PacketDispatcher(const PacketDispatcher&) = delete;
  PacketDispatcher& operator=(const PacketDispatcher&) = delete;

  // Attaches a new, disarmed matcher. Matchers are offered each byte in the
  // order they were attached.
  TApdDataPacket& Add(PacketSettings settings);
  std::size_t size() const { return matchers_.size(); }
  TApdDataPacket& at(std::size_t i) { return *matchers_.at(i); }
  TApdDataPacket* Find(std::string_view name);

  // The state of the port. Closing leaves armed matchers armed but idle; opening
  // starts every armed matcher again from the beginning.
  void SetPortOpen(bool open, Millis nowMs);
  bool PortOpen() const { return open_; }

  // Bytes that arrived at nowMs. Expired time-outs are noticed first.
  void Feed(std::string_view bytes, Millis nowMs);
  // Notices expired time-outs.
  void Poll(Millis nowMs);

  // The matcher that is collecting, if any.
  TApdDataPacket* Collecting() const { return collecting_; }

  // Where errors raised inside handlers go (the program shows them in an error box).
  void SetErrorSink(ErrorSink sink) { errorSink_ = std::move(sink); }

 private:
  friend class TApdDataPacket;

  struct Arrival {
    std::string bytes;
    Millis nowMs = 0;
  };
  // A delivery waiting for its handler to run.
  struct Event {
    enum class Kind { Packet, Timeout, Overflow };
    Kind kind;
    TApdDataPacket* matcher;
    std::string data;
    Millis nowMs;
  };

  void Run();
  // Runs the handlers of the waiting events, one at a time, unless a handler is
  // running already (it then runs them when it has returned).
  void RunEvents();
  void ProcessByte(unsigned char byte, Millis nowMs);
  void EnterCollecting(TApdDataPacket& m);
  void CheckEnd(TApdDataPacket& m, Millis nowMs);
  void CheckTimeout(Millis nowMs);
  void Deliver(TApdDataPacket& m, std::string data, Millis nowMs);
  void Timeout(TApdDataPacket& m);
  void Overflow(TApdDataPacket& m, Millis nowMs);
  void DropOthers(const TApdDataPacket& keep);
  void Report(const std::function<void()>& call);

  std::vector<std::unique_ptr<TApdDataPacket>> matchers_;
  TApdDataPacket* collecting_ = nullptr;
  bool open_ = false;
  bool running_ = false;
  int handlerDepth_ = 0;
  Arrival current_;       // the arrival being matched
  std::size_t next_ = 0;  // its next byte
  std::deque<Arrival> queue_;
  std::deque<Event> events_;
  ErrorSink errorSink_;
};

}  // namespace vemtaro
