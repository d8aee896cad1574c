// Offsets and lengths of every field of the configuration image, in one place.
// Offsets count from 0. A field that a firmware version does not use is neither
// read nor written in that version.
#pragma once

#include <cstddef>

namespace vemtaro::layout {

// Image lengths.
inline constexpr std::size_t kShortImageLength = 5121;  // versions 10, 12
inline constexpr std::size_t kLongImageLength = 5484;   // versions 11, 13..15

// Reaction record (ReactionBlock), offsets inside the block.
inline constexpr std::size_t kBlockLength = 59;
inline constexpr std::size_t kBlockRelays = 0;  // 16 relay actions
inline constexpr std::size_t kRelayCount = 16;
inline constexpr std::size_t kBlockPhones = 16;  // 9 phone slots
inline constexpr std::size_t kPhoneSlotCount = 9;
inline constexpr std::size_t kBlockSms = 25;  // 33-byte SMS text field
inline constexpr std::size_t kSmsFieldLength = 33;
inline constexpr std::size_t kSmsMaxTyped = 32;
inline constexpr std::size_t kBlockEnd = 58;  // end byte '*'

// Control-event area: 14 sources of two blocks.
inline constexpr std::size_t kControlArea = 0;
inline constexpr std::size_t kSourceLength = 118;
inline constexpr std::size_t kSourceCount = 14;
inline constexpr std::size_t kControlAreaLength = 1652;
inline constexpr std::size_t kGuardSource = 13;
inline constexpr std::size_t kGuardArmBlock = 1534;
inline constexpr std::size_t kGuardDisarmBlock = 1593;

// Parametric-sensor area: 16 channels of three blocks.
inline constexpr std::size_t kChannelArea = 1652;
inline constexpr std::size_t kChannelLength = 177;
inline constexpr std::size_t kChannelCount = 16;
inline constexpr std::size_t kStateCount = 3;
inline constexpr std::size_t kReactionAreaEnd = 4484;  // 76 blocks from 0
inline constexpr std::size_t kReactionBlockCount = 76;

// Thresholds: 8 bytes a channel, MAX then MIN, 4 characters each.
inline constexpr std::size_t kThresholdArea = 4484;
inline constexpr std::size_t kThresholdEntryLength = 8;
inline constexpr std::size_t kThresholdLength = 4;

// Subscriber numbers and SMS centre, versions 10..14.
inline constexpr std::size_t kPhonesShort = 4612;
inline constexpr std::size_t kPhoneShortLength = 12;
inline constexpr std::size_t kCenterPhoneShort = 4720;
// Object identifier, versions 10..13.
inline constexpr std::size_t kObjectIdShort = 4732;
inline constexpr std::size_t kObjectIdShortLength = 4;
inline constexpr std::size_t kPassword = 4736;
inline constexpr std::size_t kPasswordLength = 8;
inline constexpr std::size_t kIdentifiers = 4744;
inline constexpr std::size_t kIdentifierLength = 16;
inline constexpr std::size_t kIdentifierCount = 16;
inline constexpr std::size_t kReleDurations = 5000;
inline constexpr std::size_t kReleCount = 16;
inline constexpr std::size_t kMasterKey = 5032;
inline constexpr std::size_t kZones = 5048;
inline constexpr std::size_t kNumOfAttempts = 5050;
inline constexpr std::size_t kGuardMode = 5051;
inline constexpr std::size_t kStatusSms = 5052;
inline constexpr std::size_t kStatusSmsCount = 4;
inline constexpr std::size_t kUnused5056 = 5056;
inline constexpr std::size_t kStatusMessages = 5057;
inline constexpr std::size_t kUnused5058 = 5058;
inline constexpr std::size_t kInputDelays = 5059;
inline constexpr std::size_t kInputCount = 8;
inline constexpr std::size_t kArmingDelay = 5075;
inline constexpr std::size_t kAlarm1Time = 5077;
inline constexpr std::size_t kAlarm2Time = 5082;
inline constexpr std::size_t kTimeTextLength = 5;
inline constexpr std::size_t kAlarm1Relays = 5087;
inline constexpr std::size_t kAlarm2Relays = 5103;
inline constexpr std::size_t kAlarmFlags = 5119;
inline constexpr std::size_t kSmsArming = 5120;
// Fields of the 5484-byte images.
inline constexpr std::size_t kAnalogZones = 5121;
inline constexpr std::size_t kInputAfterDelays = 5123;
inline constexpr std::size_t kAnalogDelays = 5139;
inline constexpr std::size_t kAnalogAfterDelays = 5155;
inline constexpr std::size_t kObjectIdLong = 5171;
inline constexpr std::size_t kObjectIdLongLength = 10;
inline constexpr std::size_t kPhonesLong = 5181;
inline constexpr std::size_t kPhoneLongLength = 16;
inline constexpr std::size_t kCenterPhoneLong = 5325;
inline constexpr std::size_t kUnusedTail = 5341;
inline constexpr std::size_t kUnusedTailLength = 142;
inline constexpr std::size_t kPhoneCount = 9;

// Encoding characters.
inline constexpr unsigned char kFill = '*';
inline constexpr unsigned char kRelayOn = 'Z';
inline constexpr unsigned char kRelayOff = 'R';
inline constexpr unsigned char kUnchanged = 'N';  // relay left alone; empty phone slot

// Start of the reaction block of control source s (0..13), event e (0..1).
constexpr std::size_t SourceBlock(std::size_t s, std::size_t e) {
  return kControlArea + kSourceLength * s + kBlockLength * e;
}
// Start of the reaction block of parametric channel c (0..15), state e (0..2).
constexpr std::size_t ChannelBlock(std::size_t c, std::size_t e) {
  return kChannelArea + kChannelLength * c + kBlockLength * e;
}
constexpr std::size_t MaxThreshold(std::size_t c) { return kThresholdArea + kThresholdEntryLength * c; }
constexpr std::size_t MinThreshold(std::size_t c) { return MaxThreshold(c) + kThresholdLength; }
constexpr std::size_t IdentifierField(std::size_t k) { return kIdentifiers + kIdentifierLength * (k - 1); }

static_assert(SourceBlock(kGuardSource, 0) == kGuardArmBlock);
static_assert(SourceBlock(kGuardSource, 1) == kGuardDisarmBlock);
static_assert(SourceBlock(kSourceCount, 0) == kChannelArea);
static_assert(ChannelBlock(kChannelCount, 0) == kReactionAreaEnd);
static_assert(MaxThreshold(kChannelCount) == kPhonesShort);
static_assert(kPhonesLong + kPhoneLongLength * kPhoneCount == kCenterPhoneLong);
static_assert(kUnusedTail + kUnusedTailLength + 1 == kLongImageLength);

}  // namespace vemtaro::layout
