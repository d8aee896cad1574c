// The serial line under the link: an open port that sends bytes and holds the
// bytes received and not yet consumed. The desktop adapter implements it over a
// system port; MemoryLine joins two ends in memory, so that the exchanges run in
// tests against a scripted controller with a virtual clock.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "link/packet.h"

namespace vemtaro {

// Size of the send buffer (OutSize) and of the receive queue (InSize), bytes.
inline constexpr std::size_t kSendBufferSize = 8000;
inline constexpr std::size_t kReceiveQueueSize = 8000;

class SerialLine {
 public:
  virtual ~SerialLine() = default;
  virtual bool IsOpen() const = 0;
  // SendText: queues the bytes exactly as given, no terminator added, and
  // returns at once. Raises LinkError on a closed line or when the bytes do not
  // fit into the free room of the send buffer.
  virtual void Send(std::string_view bytes) = 0;
  // Bytes received and not yet consumed.
  virtual std::size_t Available() const = 0;
  // Consumes and returns up to max received bytes, oldest first.
  virtual std::string Read(std::size_t max) = 0;
  // Discards every received byte not yet consumed.
  virtual void FlushInput() = 0;
  // Discards every byte queued for sending and not yet sent.
  virtual void FlushOutput() = 0;
};

// Two ends of a line in memory. Bytes sent by one end wait in that direction's
// buffer until the other end reads them; until then they count as not yet sent
// for the sender (FlushOutput drops them) and as received for the reader
// (FlushInput drops them). The host end opens and closes; the device end (the
// controller) is always open.
class MemoryLine {
  // The bytes on their way in one direction. What was read is dropped only
  // from time to time, so that reading byte by byte does not move the rest.
  struct Queue {
    std::string bytes;
    std::size_t head = 0;
    std::size_t size() const { return bytes.size() - head; }
    void clear() {
      bytes.clear();
      head = 0;
    }
  };

 public:
  class End : public SerialLine {
   public:
    bool IsOpen() const override { return open_; }
    void Send(std::string_view bytes) override;
    std::size_t Available() const override;
    std::string Read(std::size_t max) override;
    void FlushInput() override;
    void FlushOutput() override;
    // Reads everything received.
    std::string ReadAll() { return Read(Available()); }
    // Opening starts with nothing received; closing drops what was.
    void SetOpen(bool open);

   private:
    friend class MemoryLine;
    End(Queue& out, Queue& in, std::size_t capacity, bool open)
        : out_(out), in_(in), capacity_(capacity), open_(open) {}
    Queue& out_;
    Queue& in_;
    std::size_t capacity_;
    bool open_;
  };

  explicit MemoryLine(std::size_t sendBufferSize = kSendBufferSize)
      : host_(toDevice_, toHost_, sendBufferSize, false), device_(toHost_, toDevice_, sendBufferSize * 4, true) {}
  MemoryLine(const MemoryLine&) = delete;
  MemoryLine& operator=(const MemoryLine&) = delete;

  End& host() { return host_; }
  End& device() { return device_; }

 private:
  Queue toDevice_;
  Queue toHost_;
  End host_;
  End device_;
};

// A line that forwards to whichever line is plugged in (a system port or the
// simulated controller), so that one port object and its matchers serve both.
// With nothing plugged in it is a closed line.
class LineSwitch : public SerialLine {
 public:
  void Plug(SerialLine* line) { line_ = line; }
  SerialLine* Plugged() const { return line_; }
  bool IsOpen() const override { return line_ != nullptr && line_->IsOpen(); }
  void Send(std::string_view bytes) override;
  std::size_t Available() const override { return line_ != nullptr ? line_->Available() : 0; }
  std::string Read(std::size_t max) override { return line_ != nullptr ? line_->Read(max) : std::string(); }
  void FlushInput() override {
    if (line_ != nullptr) line_->FlushInput();
  }
  void FlushOutput() override {
    if (line_ != nullptr) line_->FlushOutput();
  }

 private:
  SerialLine* line_ = nullptr;
};

// How opening a system port number ended. AccessDenied: another program holds
// the port. NoPermission: the port is there but the user may not open it (the
// device's permissions refuse it). Failed: no such port, or it cannot be used.
enum class PortOpenResult { Opened, AccessDenied, NoPermission, Failed };

// Opens a port number exclusively for reading and writing and closes it again.
class PortProbe {
 public:
  virtual ~PortProbe() = default;
  virtual PortOpenResult TryOpen(int number) = 0;
};

// PortAvailable: false for port 0; otherwise true when the port could be opened,
// is held by another program (access refused) or may not be opened by this user
// (listed, so that choosing it says why it cannot be used), false on any other
// failure.
bool PortAvailable(PortProbe& probe, int number);

}  // namespace vemtaro
