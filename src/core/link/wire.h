// The words and timings of the protocol between the PC and the controller, in
// one place: the program's link and its packet matchers speak them, and the
// simulated controller (in the core and behind vemtaro-sim) answers them.
#pragma once

#include <string_view>

#include "link/ticks.h"

namespace vemtaro {

// Wire texts of the exchanges.
namespace wire {
// What the PC sends.
inline constexpr std::string_view kBye = "BYE";
inline constexpr std::string_view kPc = "PC\r\n";
inline constexpr std::string_view kPcOk = "PC_OK";
inline constexpr std::string_view kLoad = "LOAD\n";
inline constexpr std::string_view kSave = "SAVE\n";
inline constexpr std::string_view kTime = "TIME\n";
inline constexpr std::string_view kId = "ID\n";
inline constexpr std::string_view kStat = "STAT\n";
inline constexpr std::string_view kReleSet = "RELESET\n";
// The end of every line the PC sends (time, date, relays) and of each image
// byte below version 12.
inline constexpr std::string_view kLineEnd = "\n";

// What the controller sends.
// The probe: "ATI" and one more byte, which the simulated controller makes "\r".
inline constexpr std::string_view kProbe = "ATI";
inline constexpr std::string_view kProbeEnd = "\r";
inline constexpr std::string_view kVersionStart = "Ver.";
inline constexpr std::string_view kLoadOk = "LOAD_OK";
inline constexpr std::string_view kSaveOk = "SAVE_OK\r\n";
inline constexpr std::string_view kTimeOk = "TIME_OK\r\n";
// The answer to each image byte of a write from version 12 on.
inline constexpr std::string_view kAck = "o";
inline constexpr std::string_view kStatus = "STATUS\r\n";
inline constexpr std::string_view kEndStatus = "ENDSTATUS\r\n";
// The end of the controller's replies (version, image, clock, identifiers,
// status lines).
inline constexpr std::string_view kReplyEnd = "\r\n";
}  // namespace wire

// The program's timing on the line. Waits in ticks are counted in ticks of
// kTickMs (55 ms): 100 ticks are 5.5 s.
namespace link_timing {
inline constexpr Millis kAfterOpenMs = 100;
inline constexpr Millis kBeforePcMs = 100;
inline constexpr Millis kAfterPcOkMs = 1000;
inline constexpr Millis kAfterByeMs = 300;
inline constexpr Millis kRelayPauseMs = 60;
inline constexpr Millis kOldByteGapMs = 5;  // below version 12: byte, 5 ms, "\n", 5 ms
inline constexpr int kAckWaitTicks = 100;   // "LOAD_OK", "SAVE_OK\r\n", "TIME_OK\r\n"
inline constexpr int kByteAckTicks = 5;
inline constexpr int kByteAttempts = 3;  // copies of one image byte before a write gives up
inline constexpr int kFinalSaveOkTicks = 40;
inline constexpr int kLoadTicks = 1000;  // Zagruzka's time-out
// The time-outs of the other replies' matchers.
inline constexpr int kVersionTicks = 100;  // ApdDataPacket3
inline constexpr int kClockTicks = 4000;   // TimeIn
inline constexpr int kIdsTicks = 2000;     // IDReciev (110 s)
inline constexpr int kStatusTicks = 8000;  // GetStatus
inline constexpr Millis kTimer3Ms = 60;
// Longest run of bytes a write sends between two services of the windows.
inline constexpr Millis kWriteStepMs = 40;
}  // namespace link_timing

// The controller's own timing.
namespace controller_timing {
// Silence after which the controller drops a write or a half-received line.
inline constexpr Millis kIdleMs = 2000;
}  // namespace controller_timing

}  // namespace vemtaro
