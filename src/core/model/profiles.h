// The six firmware version profiles of the controller.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace vemtaro {

inline constexpr int kMinFirmware = 10;
inline constexpr int kMaxFirmware = 15;

struct VersionProfile {
  int version;
  std::size_t imageLength;
  bool checksum;             // ChecksumEnabled and the mark of N22
  std::optional<int> gauge;  // maximum of Gauge1; version 10 leaves it unchanged
  int phoneWidth;            // CenterPhone and AbonentNo1..AbonentNo9
  int objectIdWidth;         // ObjectID, set by ResetImage
  const char* menuName;      // the version item of "Версия прошивки"
  const char* menuCaption;
};

inline constexpr std::array<VersionProfile, 6> kProfiles = {{
    {10, 5121, false, std::nullopt, 12, 4, "v110", "v. 10"},
    {11, 5484, true, 5484, 12, 4, "v111", "v. 11"},
    {12, 5121, true, 5121, 12, 4, "v112", "v. 12"},
    {13, 5484, true, 5484, 12, 4, "v113", "v. 13"},
    {14, 5484, true, 5484, 12, 10, "v141", "v. 14"},
    {15, 5484, true, 5484, 16, 10, "v151", "v. 15"},
}};

// The profile of a version 10..15, or null.
inline const VersionProfile* FindProfile(int version) {
  for (const auto& p : kProfiles) {
    if (p.version == version) return &p;
  }
  return nullptr;
}

// Version-dependent branches, gathered in one place.
namespace versions {
inline bool LongObjectId(int v) { return v >= 14; }       // ObjectID at 5171, 10 bytes
inline bool LongPhones(int v) { return v > 14; }          // numbers of 16 characters at 5181
inline bool ReadsStatusKinds(int v) { return v > 11; }    // status digit read after a load
inline bool HasAfterDelays(int v) { return v > 12; }      // UInput, AInput, UAInput, AZones
inline bool SixteenSensors(int v) { return v < 12; }      // Tree2: 16 sensors, else 8
inline bool HasAnalogInputs(int v) { return v > 12; }     // Tree2: 8 analogue inputs
inline bool AcknowledgedBytes(int v) { return v >= 12; }  // per-byte "o" while writing
}  // namespace versions

}  // namespace vemtaro
