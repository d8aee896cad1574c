// The simulated controller's side of the line on arbitrary bytes from the PC,
// with a virtual clock. The first two bytes choose the controller: its
// version, strict checking, pacing, probing, a reply delay and one fault; the
// rest is a script of records, each an operation byte: 0x00..0x3F sends the
// next 1..64 bytes to the controller, 0x40..0x7F lets 1..64 ms pass, and
// 0x80..0xFF lets 0.25..32 s pass (past every time-out of the controller).
//
// Checked after every record: nothing due later is handed out, what is handed
// out and what waits is bounded by what the PC sent, the next event is never
// in the past, the image keeps its version's length, and the violations kept
// are within their bound.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/controller_sim.h"
#include "started_model.h"

namespace {

using namespace vemtaro;
using fuzzing::Check;

// The longest answer to one command: the image with its framing, with room to spare.
constexpr std::size_t kLongestAnswer = 8192;
// What an input may have the controller send before it ends.
constexpr std::size_t kEnoughOutput = 4 * kLongestAnswer;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  sim::ControllerOptions options;
  options.version = 10 + data[0] % 6;
  options.strict = (data[0] & 0x08) != 0;
  options.paced = (data[0] & 0x10) != 0;
  options.keepProbing = (data[0] & 0x20) != 0;
  options.replyDelayMs = (data[0] & 0x40) != 0 ? 30 : 0;
  options.saveOkDelayMs = (data[0] & 0x80) != 0 ? 100 : 0;
  // A few probes in the longest step, not hundreds.
  options.probeIntervalMs = 250;
  if (options.strict) options.gapToleranceMs = data[1] % 3;
  sim::ControllerSim controller(options);
  sim::Faults& faults = controller.faults();
  switch (data[1] % 8) {
    case 1: faults.noLoadOk = true; break;
    case 2: faults.badChecksum = true; break;
    case 3: faults.shortImage = data[1] * 20u; break;
    case 4: faults.garbageSeed = data[1]; break;
    case 5:
      faults.dropAckAt = data[1] / 8u;
      faults.dropAckCount = 1 + data[1] % 3;
      break;
    case 6:
      faults.lateAckAt = data[1] / 8u;
      faults.lateAckMs = 200;
      break;
    case 7: faults.hangUpAt = data[1] * 20u; break;
    default: break;
  }
  const std::size_t imageLength = controller.image().size();

  std::int64_t nowMs = 0;
  std::size_t sent = 0;    // bytes the PC sent so far
  std::size_t handed = 0;  // bytes the controller handed out so far
  const auto take = [&](const std::string& out) {
    handed += out.size();
    // Every byte handed out was due by now.
    Check(controller.Pending().empty() || controller.Pending().front().dueUs > nowMs * 1000);
  };
  take(controller.Poll(nowMs));
  for (std::size_t at = 2; at < size;) {
    const std::uint8_t op = data[at++];
    if (op < 0x40) {
      const std::size_t n = std::min<std::size_t>(op + 1u, size - at);
      take(controller.Receive(std::string_view(reinterpret_cast<const char*>(data + at), n), nowMs));
      sent += n;
      at += n;
    } else {
      nowMs += op < 0x80 ? op - 0x3F : (op - 0x7F) * 250;
      take(controller.Poll(nowMs));
    }
    // Each command the PC sends is answered once: the answers stay within
    // what its bytes can ask for, and the probes within what the time allows.
    const std::size_t bound = (sent + 1) * kLongestAnswer + static_cast<std::size_t>(nowMs) * 4;
    Check(handed + controller.Pending().size() <= bound);
    if (const auto next = controller.NextEventMs()) Check(*next >= nowMs || !controller.Pending().empty());
    Check(controller.image().size() == imageLength);
    Check(controller.Violations().size() <= sim::kMaxViolationTexts);
    Check(controller.Violations().size() <= controller.ViolationCount());
    // A few whole images are enough to reach every state; more of them only
    // cost time (each is some 5 500 bytes queued one by one).
    if (handed + controller.Pending().size() > kEnoughOutput) break;
  }
  return 0;
}
