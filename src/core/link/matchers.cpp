#include "link/matchers.h"

#include <utility>

namespace vemtaro {

namespace {

PacketSettings Matcher(const char* name, StartCond start, const char* startString, EndCond end,
                       const char* endString, int packetSize, bool includeStrings, bool autoEnable,
                       int timeOut) {
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
  return {
      Matcher(kStartPack, scString, "ATI", kBySize, "", 3, true, true, 0),
      Matcher(kVersion, scString, "Ver.", kByString, "\r\n", 16, false, false, 100),
      Matcher(kLoad, scString, "\r\n", kByString, "LOAD_OK\r\n", 5121, false, false, 1000),
      Matcher(kTimeIn, scAnyData, "", kByString, "\r\n", 17, false, false, 4000),
      Matcher(kIdReceive, scAnyData, "", kByString, "\r\n", 256, false, false, 2000),
      Matcher(kGetStatus, scString, "STATUS\r\n", kByString, "ENDSTATUS\r\n", 0, false, false, 8000),
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
