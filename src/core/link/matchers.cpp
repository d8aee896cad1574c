#include "link/matchers.h"

#include <string>
#include <string_view>
#include <utility>

#include "link/wire.h"

namespace vemtaro {

namespace {

PacketSettings Matcher(const char* name, StartCond start, std::string_view startString, EndCond end,
                       std::string_view endString, int packetSize, bool includeStrings, bool autoEnable, int timeOut,
                       std::size_t maxSize) {
  PacketSettings s;
  s.Name = name;
  s.StartCondition = start;
  s.StartString = std::string(startString);
  s.EndCondition = end;
  s.EndString = std::string(endString);
  s.PacketSize = packetSize;
  s.IncludeStrings = includeStrings;
  s.AutoEnable = autoEnable;
  s.TimeOut = timeOut;
  s.MaxSize = maxSize;
  s.IgnoreCase = true;
  return s;
}

constexpr EndCond kBySize{false, true};
constexpr EndCond kByString{true, false};

}  // namespace

std::vector<PacketSettings> ProgramMatcherSettings() {
  using namespace matcher_names;
  using enum StartCond;
  // Only STARTPACK ends by size; the packet sizes of the others have no effect.
  // The last column bounds what a matcher collects, well above the longest
  // legal reply (an image of 5484 bytes with its framing; 256 identifier
  // characters; a status block of 18 short lines), so that a line flooding
  // bytes ends the exchange instead of filling the memory.
  const std::string imageEnd = std::string(wire::kLoadOk) + std::string(wire::kReplyEnd);
  return {
      Matcher(kStartPack, scString, wire::kProbe, kBySize, "", 3, true, true, 0, 64),
      Matcher(kVersion, scString, wire::kVersionStart, kByString, wire::kReplyEnd, 16, false, false,
              link_timing::kVersionTicks, 256),
      Matcher(kLoad, scString, wire::kReplyEnd, kByString, imageEnd, 5121, false, false, link_timing::kLoadTicks,
              kMaxImageReply),
      Matcher(kTimeIn, scAnyData, "", kByString, wire::kReplyEnd, 17, false, false, link_timing::kClockTicks, 256),
      Matcher(kIdReceive, scAnyData, "", kByString, wire::kReplyEnd, 256, false, false, link_timing::kIdsTicks, 1024),
      Matcher(kGetStatus, scString, wire::kStatus, kByString, wire::kEndStatus, 0, false, false,
              link_timing::kStatusTicks, 4096),
  };
}

ProgramMatchers AttachProgramMatchers(PacketDispatcher& port) {
  std::vector<PacketSettings> all = ProgramMatcherSettings();
  TApdDataPacket& startPack = port.Add(std::move(all[0]));
  TApdDataPacket& version = port.Add(std::move(all[1]));
  TApdDataPacket& load = port.Add(std::move(all[2]));
  TApdDataPacket& timeIn = port.Add(std::move(all[3]));
  TApdDataPacket& idReceive = port.Add(std::move(all[4]));
  TApdDataPacket& getStatus = port.Add(std::move(all[5]));
  return ProgramMatchers{startPack, version, load, timeIn, idReceive, getStatus};
}

}  // namespace vemtaro
