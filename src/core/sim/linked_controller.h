// The simulated controller on the device end of an in-memory line: what the PC
// sends reaches the controller, what the controller sends is due on the line at
// its time. Used by the tests (with a virtual clock) and by the desktop's
// in-process "Симулятор контроллера" (with the steady clock).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_line.h"
#include "sim/controller_sim.h"

namespace vemtaro::sim {

class LinkedController {
 public:
  explicit LinkedController(ControllerOptions options = {}) : sim_(std::move(options)) {}
  LinkedController(const LinkedController&) = delete;
  LinkedController& operator=(const LinkedController&) = delete;

  MemoryLine& line() { return line_; }
  SerialLine& host() { return line_.host(); }
  ControllerSim& controller() { return sim_; }

  // Hands what the PC has sent to the controller, and what the controller has
  // due by nowMs to the PC's end of the line (dropped while that end is closed).
  void Pump(std::int64_t nowMs);
  // When the controller next has something to do or send.
  std::optional<std::int64_t> NextEventMs() const { return sim_.NextEventMs(); }

  // Every chunk the PC sent, with the time it reached the controller.
  struct Chunk {
    std::int64_t ms;
    std::string bytes;
  };
  const std::vector<Chunk>& received() const { return received_; }
  // All the PC sent, as one text.
  std::string ReceivedText() const;
  void ClearReceived() { received_.clear(); }

 private:
  MemoryLine line_;
  ControllerSim sim_;
  std::vector<Chunk> received_;
};

}  // namespace vemtaro::sim
