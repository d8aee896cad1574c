#include "sim/linked_controller.h"

namespace vemtaro::sim {

void LinkedController::Pump(std::int64_t nowMs) {
  MemoryLine::End& device = line_.device();
  std::string out;
  if (device.Available() > 0) {
    std::string in = device.ReadAll();
    out = sim_.Receive(in, nowMs);
    received_.push_back({nowMs, std::move(in)});
  } else {
    out = sim_.Poll(nowMs);
  }
  if (out.empty() || !line_.host().IsOpen()) return;
  try {
    device.Send(out);
  } catch (const LinkError&) {
    // The PC's receive queue is full: the bytes are lost, as on a real line.
  }
}

std::string LinkedController::ReceivedText() const {
  std::string all;
  for (const Chunk& c : received_) all += c.bytes;
  return all;
}

}  // namespace vemtaro::sim
