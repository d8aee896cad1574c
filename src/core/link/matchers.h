// The six packet matchers of the program, all attached to the one port
// ApdComPort1. Every one ignores letter case and is disarmed at start; the
// handlers are set by the exchanges that use them.
//
//   STARTPACK       "ATI" + one byte          the controller's probe
//   ApdDataPacket3  "Ver." .. "\r\n"          the firmware version reply
//   Zagruzka        "\r\n" .. "LOAD_OK\r\n"   the configuration image
//   TimeIn          any data .. "\r\n"        the controller's clock
//   IDReciev        any data .. "\r\n"        the sensor identifiers
//   GetStatus       "STATUS\r\n" .. "ENDSTATUS\r\n"  the status block (status window)
#pragma once

#include <cstddef>
#include <vector>

#include "link/packet.h"

namespace vemtaro {

namespace matcher_names {
inline constexpr const char* kStartPack = "STARTPACK";
inline constexpr const char* kVersion = "ApdDataPacket3";
inline constexpr const char* kLoad = "Zagruzka";
inline constexpr const char* kTimeIn = "TimeIn";
inline constexpr const char* kIdReceive = "IDReciev";
inline constexpr const char* kGetStatus = "GetStatus";
}  // namespace matcher_names

// The most bytes Zagruzka collects: three times the longest image with its
// framing.
inline constexpr std::size_t kMaxImageReply = 16384;

// The settings of the six matchers, in the order they are attached to the port.
std::vector<PacketSettings> ProgramMatcherSettings();

// The six matchers, attached to one dispatcher.
struct ProgramMatchers {
  TApdDataPacket& STARTPACK;
  TApdDataPacket& ApdDataPacket3;
  TApdDataPacket& Zagruzka;
  TApdDataPacket& TimeIn;
  TApdDataPacket& IDReciev;
  TApdDataPacket& GetStatus;
};

// Attaches the six matchers, disarmed, to the dispatcher in the order above.
ProgramMatchers AttachProgramMatchers(PacketDispatcher& port);

}  // namespace vemtaro
