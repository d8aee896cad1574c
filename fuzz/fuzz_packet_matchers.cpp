// Drives the six packet matchers of the program on one port with arbitrary
// bytes, time steps, arming and port changes. The handlers react as the
// program's do (a probe arms the version matcher, a version time-out arms the
// probe again). Checked: at most one matcher collects and it is armed; a packet
// that ended by its end string holds no earlier occurrence of it; and feeding
// the same arrivals byte by byte gives exactly the same events.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "link/matchers.h"

namespace {

using vemtaro::Millis;
using vemtaro::PacketDispatcher;
using vemtaro::ProgramMatchers;
using vemtaro::TApdDataPacket;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

void CheckInvariants(PacketDispatcher& port) {
  int collecting = 0;
  for (std::size_t i = 0; i < port.size(); ++i) {
    TApdDataPacket& m = port.at(i);
    if (m.state() == TApdDataPacket::State::Collecting) {
      ++collecting;
      if (!m.Enabled() || port.Collecting() != &m) __builtin_trap();
    }
    if (!m.Enabled() && m.state() != TApdDataPacket::State::Idle) __builtin_trap();
  }
  if (collecting > 1) __builtin_trap();
}

std::vector<std::string> Run(const std::uint8_t* data, std::size_t size, bool byteByByte) {
  PacketDispatcher port;
  const ProgramMatchers m = AttachProgramMatchers(port);
  std::vector<std::string> events;
  Millis now = 0;
  port.SetErrorSink([&](const std::string& text) { events.push_back("error:" + text); });
  for (std::size_t i = 0; i < port.size(); ++i) {
    TApdDataPacket& matcher = port.at(i);
    matcher.OnPacket = [&](TApdDataPacket& sender, std::string_view packet) {
      events.push_back(sender.Name() + ":" + std::string(packet));
      CheckInvariants(port);
      if (sender.settings.EndCondition.ecString && !sender.settings.IncludeStrings &&
          Upper(packet).find(Upper(sender.settings.EndString)) != std::string::npos) {
        __builtin_trap();
      }
    };
    matcher.OnTimeout = [&](TApdDataPacket& sender) { events.push_back(sender.Name() + ":timeout"); };
  }
  m.STARTPACK.OnPacket = [&](TApdDataPacket&, std::string_view) {
    events.push_back("STARTPACK");
    m.ApdDataPacket3.SetEnabled(true, now);
  };
  m.ApdDataPacket3.OnTimeout = [&](TApdDataPacket&) {
    events.push_back("ApdDataPacket3:timeout");
    m.STARTPACK.SetEnabled(true, now);
  };
  m.GetStatus.OnPacket = [](TApdDataPacket&, std::string_view packet) {
    if (packet.size() == 3) throw std::runtime_error("bad status");
  };
  port.SetPortOpen(true, now);
  m.STARTPACK.SetEnabled(true, now);

  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t op = data[i++];
    const std::uint8_t arg = i < size ? data[i] : 0;
    switch (op % 5) {
      case 0:
      case 1: {  // bytes arrive
        const std::size_t n = std::min<std::size_t>(arg % 64, size - i);
        const std::string_view bytes(reinterpret_cast<const char*>(data + i), n);
        if (byteByByte) {
          for (const char c : bytes) port.Feed(std::string_view(&c, 1), now);
        } else {
          port.Feed(bytes, now);
        }
        i += n;
        break;
      }
      case 2:  // time passes
        now += static_cast<Millis>(arg) * (op & 0x80 ? 997 : 7);
        port.Poll(now);
        ++i;
        break;
      case 3: {  // a matcher is armed or disarmed
        TApdDataPacket& matcher = port.at(arg % port.size());
        matcher.SetEnabled(!matcher.Enabled(), now);
        ++i;
        break;
      }
      default:  // the port is closed or opened
        port.SetPortOpen(!port.PortOpen(), now);
        break;
    }
    CheckInvariants(port);
  }
  return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (Run(data, size, false) != Run(data, size, true)) __builtin_trap();
  return 0;
}
