#include "link/matchers.h"

#include <utility>

namespace vemtaro {

namespace {

PacketSettings Matcher(const char* name, StartCond start, const char* startString, EndCond end,
                       const char* endString, int packetSize, bool includeStrings, bool autoEnable,
                       int timeOut, std::size_t maxSize) {
  PacketSettings s;
  s.Name = name;
  s.StartCondition = start;
  s.StartString = startString;
  s.EndCondition = end;
  s.EndString = endString;
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
  return {
      Matcher(kStartPack, scString, "ATI", kBySize, "", 3, true, true, 0, 64),
      Matcher(kVersion, scString, "Ver.", kByString, "\r\n", 16, false, false, 100, 256),
      Matcher(kLoad, scString, "\r\n", kByString, "LOAD_OK\r\n", 5121, false, false, 1000, kMaxImageReply),
      Matcher(kTimeIn, scAnyData, "", kByString, "\r\n", 17, false, false, 4000, 256),
      Matcher(kIdReceive, scAnyData, "", kByString, "\r\n", 256, false, false, 2000, 1024),
      Matcher(kGetStatus, scString, "STATUS\r\n", kByString, "ENDSTATUS\r\n", 0, false, false, 8000, 4096),
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
