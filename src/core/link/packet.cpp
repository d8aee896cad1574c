#include "link/packet.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vemtaro {

namespace {

unsigned char UpperAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

}  // namespace

// ---- TApdDataPacket ----------------------------------------------------------

TApdDataPacket::Pattern TApdDataPacket::Compile(std::string_view text, bool ignoreCase) {
  Pattern pattern;
  for (std::size_t i = 0; i < text.size(); ++i) {
    PatternChar p;
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\' && i + 1 < text.size()) {
      c = static_cast<unsigned char>(text[++i]);
    } else if (c == '?') {
      p.any = true;
    }
    p.ch = ignoreCase ? UpperAscii(c) : c;
    pattern.push_back(p);
  }
  return pattern;
}

bool TApdDataPacket::Matches(const PatternChar& p, unsigned char byte) const {
  if (p.any) return true;
  return (ignoreCase_ ? UpperAscii(byte) : byte) == p.ch;
}

bool TApdDataPacket::IsPrefix(const Pattern& pattern, std::string_view bytes, std::size_t from) const {
  const std::size_t n = bytes.size() - from;
  if (n > pattern.size()) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (!Matches(pattern[i], static_cast<unsigned char>(bytes[from + i]))) return false;
  }
  return true;
}

void TApdDataPacket::CheckSettings() const {
  const PacketSettings& s = settings;
  const std::size_t startLength = Compile(s.StartString, false).size();
  if (s.StartCondition == StartCond::scString && startLength == 0) {
    throw LinkError(s.Name + ": the start string is empty");
  }
  if (s.EndCondition.ecString && Compile(s.EndString, false).empty()) {
    throw LinkError(s.Name + ": the end string is empty");
  }
  if (s.EndCondition.ecPacketSize) {
    const std::size_t counted = s.StartCondition == StartCond::scString ? startLength : 0;
    if (s.PacketSize <= 0 || static_cast<std::size_t>(s.PacketSize) < counted) {
      throw LinkError(s.Name + ": the packet size is too small");
    }
  }
  if (s.StartCondition == StartCond::scAnyData && s.EndCondition.empty()) {
    throw LinkError(s.Name + ": a packet that starts with any data needs an end condition");
  }
}

void TApdDataPacket::SetEnabled(bool on, Millis nowMs) {
  if (on == enabled_) return;
  if (!on) {
    enabled_ = false;
    GoIdle();
    return;
  }
  CheckSettings();
  ignoreCase_ = settings.IgnoreCase;
  startCond_ = settings.StartCondition;
  endCond_ = settings.EndCondition;
  start_ = startCond_ == StartCond::scString ? Compile(settings.StartString, ignoreCase_) : Pattern{};
  end_ = endCond_.ecString ? Compile(settings.EndString, ignoreCase_) : Pattern{};
  packetSize_ = endCond_.ecPacketSize ? static_cast<std::size_t>(settings.PacketSize) : 0;
  maxSize_ = settings.MaxSize;
  timeOut_ = std::max(settings.TimeOut, 0);
  enabled_ = true;
  GoIdle();
  if (port_->open_) Begin(nowMs);
}

void TApdDataPacket::GoIdle() {
  if (port_->collecting_ == this) port_->collecting_ = nullptr;
  state_ = State::Idle;
  partial_.clear();
  data_.clear();
  endFrom_ = 0;
  timing_ = false;
}

void TApdDataPacket::Begin(Millis nowMs) {
  GoIdle();
  state_ = State::WaitingForStart;
  if (startCond_ == StartCond::scAnyData && port_->collecting_ == nullptr) {
    // Any data starts the packet: collecting begins now, and so does the time-out.
    state_ = State::Collecting;
    port_->EnterCollecting(*this);
    StartTimeout(nowMs);
  }
}

void TApdDataPacket::StartTimeout(Millis nowMs) {
  timing_ = timeOut_ > 0;
  startTick_ = TickOf(nowMs);
}

// ---- PacketDispatcher --------------------------------------------------------

TApdDataPacket& PacketDispatcher::Add(PacketSettings settings) {
  matchers_.push_back(std::unique_ptr<TApdDataPacket>(new TApdDataPacket(*this, std::move(settings))));
  return *matchers_.back();
}

TApdDataPacket* PacketDispatcher::Find(std::string_view name) {
  for (auto& m : matchers_) {
    if (m->Name() == name) return m.get();
  }
  return nullptr;
}

void PacketDispatcher::SetPortOpen(bool open, Millis nowMs) {
  if (open == open_) return;
  open_ = open;
  // What the line held is gone with it, and so are deliveries still waiting.
  queue_.clear();
  current_ = Arrival{};
  next_ = 0;
  events_.clear();
  for (auto& m : matchers_) {
    if (!m->enabled_) continue;
    if (open) {
      m->Begin(nowMs);
    } else {
      m->GoIdle();
    }
  }
}

void PacketDispatcher::Feed(std::string_view bytes, Millis nowMs) {
  if (!open_) return;
  queue_.push_back(Arrival{std::string(bytes), nowMs});
  // Fed by a handler (the bytes that arrived during its pause): they are matched
  // now, after what arrived before them, and what they complete waits for the
  // handler to return.
  Run();
}

void PacketDispatcher::Poll(Millis nowMs) {
  CheckTimeout(nowMs);
  RunEvents();
}

void PacketDispatcher::Run() {
  const bool outer = !running_;
  running_ = true;
  struct Reset {
    bool& flag;
    bool outer;
    ~Reset() {
      if (outer) flag = false;
    }
  } reset{running_, outer};
  for (;;) {
    if (!open_) break;  // a handler closed the port
    if (next_ >= current_.bytes.size()) {
      if (queue_.empty()) break;
      current_ = std::move(queue_.front());
      queue_.pop_front();
      next_ = 0;
      CheckTimeout(current_.nowMs);
      RunEvents();
      continue;
    }
    const auto byte = static_cast<unsigned char>(current_.bytes[next_++]);
    ProcessByte(byte, current_.nowMs);
    RunEvents();
  }
  if (next_ >= current_.bytes.size()) {
    current_ = Arrival{};
    next_ = 0;
  }
}

void PacketDispatcher::RunEvents() {
  if (handlerDepth_ > 0) return;
  while (!events_.empty()) {
    Event e = std::move(events_.front());
    events_.pop_front();
    TApdDataPacket& m = *e.matcher;
    ++handlerDepth_;
    switch (e.kind) {
      case Event::Kind::Packet:
        Report([&] {
          if (m.OnPacket) m.OnPacket(m, e.data);
        });
        Report([&] {
          if (m.OnStringPacket) m.OnStringPacket(m, e.data);
        });
        break;
      case Event::Kind::Timeout:
        Report([&] {
          if (m.OnTimeout) m.OnTimeout(m);
        });
        break;
      case Event::Kind::Overflow:
        Report([&] {
          if (m.OnOverflow) {
            m.OnOverflow(m);
          } else if (m.OnTimeout) {
            m.OnTimeout(m);
          }
        });
        break;
    }
    --handlerDepth_;
    // A matcher that delivered stays disarmed until its handler has run.
    if (e.kind == Event::Kind::Packet && m.settings.AutoEnable) {
      Report([&] { m.SetEnabled(true, e.nowMs); });
    }
  }
}

void PacketDispatcher::CheckTimeout(Millis nowMs) {
  TApdDataPacket* m = collecting_;
  if (m != nullptr && m->timing_ && TimeoutExpired(m->startTick_, m->timeOut_, nowMs)) Timeout(*m);
}

void PacketDispatcher::ProcessByte(unsigned char byte, Millis nowMs) {
  if (collecting_ != nullptr) {
    TApdDataPacket& m = *collecting_;
    m.data_.push_back(static_cast<char>(byte));
    CheckEnd(m, nowMs);
    if (collecting_ == &m && m.maxSize_ > 0 && m.data_.size() >= m.maxSize_) Overflow(m, nowMs);
    return;
  }
  for (auto& owned : matchers_) {
    TApdDataPacket& m = *owned;
    if (!m.enabled_ || m.state_ != TApdDataPacket::State::WaitingForStart) continue;
    if (m.startCond_ == StartCond::scAnyData) {
      // Armed while another matcher was collecting: this is the first byte it sees.
      m.state_ = TApdDataPacket::State::Collecting;
      EnterCollecting(m);
      m.StartTimeout(nowMs);
      m.data_.push_back(static_cast<char>(byte));
      CheckEnd(m, nowMs);
      return;
    }
    // Keep the earliest beginning from which the bytes still spell the start of
    // the start string; a failed partial match thus restarts at the byte after
    // its beginning and an overlapping occurrence is found.
    m.partial_.push_back(static_cast<char>(byte));
    std::size_t from = 0;
    while (from < m.partial_.size() && !m.IsPrefix(m.start_, m.partial_, from)) ++from;
    m.partial_.erase(0, from);
    if (m.partial_.size() < m.start_.size()) continue;

    std::string packet = std::move(m.partial_);
    m.partial_.clear();
    if (m.endCond_.empty()) {
      DropOthers(m);
      Deliver(m, m.settings.IncludeStrings ? std::move(packet) : std::string(), nowMs);
      return;
    }
    m.state_ = TApdDataPacket::State::Collecting;
    EnterCollecting(m);
    m.data_ = std::move(packet);
    m.endFrom_ = m.data_.size();
    m.StartTimeout(nowMs);
    return;  // the byte that completed the start string is not examined again
  }
  // Nobody waits for this byte (or it only fed partial start matches): it is gone.
}

void PacketDispatcher::EnterCollecting(TApdDataPacket& m) {
  collecting_ = &m;
  DropOthers(m);
}

void PacketDispatcher::DropOthers(const TApdDataPacket& keep) {
  for (auto& m : matchers_) {
    if (m.get() != &keep) m->DropPartial();
  }
}

void PacketDispatcher::CheckEnd(TApdDataPacket& m, Millis nowMs) {
  std::string& data = m.data_;
  bool byString = false;
  if (m.endCond_.ecString) {
    while (m.endFrom_ < data.size() && !m.IsPrefix(m.end_, data, m.endFrom_)) ++m.endFrom_;
    byString = data.size() - m.endFrom_ == m.end_.size();
  }
  const bool bySize = !byString && m.endCond_.ecPacketSize && data.size() >= m.packetSize_;
  if (!byString && !bySize) return;

  std::string packet = std::move(data);
  if (!m.settings.IncludeStrings) {
    if (byString) packet.resize(packet.size() - m.end_.size());
    if (m.startCond_ == StartCond::scString) packet.erase(0, m.start_.size());
  }
  Deliver(m, std::move(packet), nowMs);
}

void PacketDispatcher::Deliver(TApdDataPacket& m, std::string data, Millis nowMs) {
  m.enabled_ = false;
  m.GoIdle();
  events_.push_back(Event{Event::Kind::Packet, &m, std::move(data), nowMs});
}

void PacketDispatcher::Timeout(TApdDataPacket& m) {
  m.enabled_ = false;
  m.GoIdle();
  events_.push_back(Event{Event::Kind::Timeout, &m, {}, 0});
}

void PacketDispatcher::Overflow(TApdDataPacket& m, Millis nowMs) {
  // As after a time-out: the collected bytes are dropped and the matcher stays
  // disarmed whatever AutoEnable says.
  m.enabled_ = false;
  m.GoIdle();
  events_.push_back(Event{Event::Kind::Overflow, &m, {}, nowMs});
}

void PacketDispatcher::Report(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& e) {
    if (errorSink_) errorSink_(e.what());
  } catch (...) {
    if (errorSink_) errorSink_("Unknown error");
  }
}

}  // namespace vemtaro
