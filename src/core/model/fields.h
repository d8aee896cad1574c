// The fields of the settings pages, each described once: the control that shows
// it, where it lies in the image (in every version where it moves), how its
// bytes are encoded and the versions whose images hold it. The image check of
// a load, the whole-image pass that shows a read image, the settings listing
// and the changes by name all read their fields from here.
//
// The table lists the fields in the order of the pages, which is the order of
// the settings listing.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "model/layout.h"
#include "model/profiles.h"

namespace vemtaro::fields {

// How a field's bytes hold its value.
enum class Codec {
  Text,         // text in Windows-1251, then '*' fill
  Phone,        // a number as a text field: blanks, '+' and digits
  Count,        // a number, the byte's own value
  FlagBytes,    // one byte per check item, '0' unchecked
  StatusDigit,  // the kinds of status message as the bits of a digit '0'..'9'
  HexPair,      // a number 0..255 as two hexadecimal digits
  MaskPair,     // eight check items as the bits of a hex pair
  OnIfOne,      // on when the byte is '1'
  OffIfZero,    // off when the byte is '0'
};

// The fields, in the order of the table.
// clang-format off
enum class Id {
  ObjectID, PasswordEdit, AbonentNo, CenterPhone, NumOfAttempts, StatusSMS, StatusMessages, Input, UInput, AInput,
  UAInput, Rele, Vihod, ID, MasterKey, Zones, AZones, Ohr, OhrSMS,
};
// clang-format on

using VersionRule = bool (*)(int);

struct Place {
  std::size_t offset;
  std::size_t length;
};

struct Field {
  Id id;
  // The control's name, or the name of a numbered row of controls: "AbonentNo"
  // for AbonentNo1..AbonentNo9.
  const char* name;
  // 0 for one control; else the row's controls are numbered 1..count, each
  // lying right after the one before.
  int count;
  Codec codec;
  Place place;         // of the (first) control
  Place moved;         // of the (first) control in the versions of `moves`
  VersionRule moves;   // null: the field lies at `place` in every version
  VersionRule exists;  // the versions whose images hold the field; null: all

  bool In(int v) const { return exists == nullptr || exists(v); }
  // The first and last number of the field's controls: 0 and 0 for a single control.
  int First() const { return count == 0 ? 0 : 1; }
  int Last() const { return count; }
  // Where control n (0 or 1 for a single control) lies in version v.
  Place At(int v, int n = 0) const {
    const Place p = moves != nullptr && moves(v) ? moved : place;
    return {p.offset + p.length * static_cast<std::size_t>(n > 0 ? n - 1 : 0), p.length};
  }
  // The name of control n: "AbonentNo3"; the name itself for a single control.
  std::string ControlName(int n = 0) const {
    std::string text(name);
    if (n > 0) text.append(std::to_string(n));
    return text;
  }
};

namespace L = layout;
namespace V = versions;
inline constexpr Place kNoMove{0, 0};

// clang-format off
inline constexpr std::array<Field, 19> kFields = {{
    {Id::ObjectID, "ObjectID", 0, Codec::Text, {L::kObjectIdShort, L::kObjectIdShortLength},
     {L::kObjectIdLong, L::kObjectIdLongLength}, V::LongObjectId, nullptr},
    {Id::PasswordEdit, "PasswordEdit", 0, Codec::Text, {L::kPassword, L::kPasswordLength}, kNoMove, nullptr,
     nullptr},
    {Id::AbonentNo, "AbonentNo", static_cast<int>(L::kPhoneCount), Codec::Phone,
     {L::kPhonesShort, L::kPhoneShortLength}, {L::kPhonesLong, L::kPhoneLongLength}, V::LongPhones, nullptr},
    {Id::CenterPhone, "CenterPhone", 0, Codec::Phone, {L::kCenterPhoneShort, L::kPhoneShortLength},
     {L::kCenterPhoneLong, L::kPhoneLongLength}, V::LongPhones, nullptr},
    {Id::NumOfAttempts, "NumOfAttempts", 0, Codec::Count, {L::kNumOfAttempts, 1}, kNoMove, nullptr, nullptr},
    {Id::StatusSMS, "StatusSMS", 0, Codec::FlagBytes, {L::kStatusSms, L::kStatusSmsCount}, kNoMove, nullptr,
     nullptr},
    // The kinds are read from an image from version 12 on.
    {Id::StatusMessages, "StatusMessages", 0, Codec::StatusDigit, {L::kStatusMessages, 1}, kNoMove, nullptr,
     V::ReadsStatusKinds},
    {Id::Input, "Input", static_cast<int>(L::kInputCount), Codec::HexPair, {L::kInputDelays, 2}, kNoMove, nullptr,
     nullptr},
    {Id::UInput, "UInput", static_cast<int>(L::kInputCount), Codec::HexPair, {L::kInputAfterDelays, 2}, kNoMove,
     nullptr, V::HasAfterDelays},
    {Id::AInput, "AInput", static_cast<int>(L::kInputCount), Codec::HexPair, {L::kAnalogDelays, 2}, kNoMove,
     nullptr, V::HasAfterDelays},
    {Id::UAInput, "UAInput", static_cast<int>(L::kInputCount), Codec::HexPair, {L::kAnalogAfterDelays, 2},
     kNoMove, nullptr, V::HasAfterDelays},
    {Id::Rele, "Rele", static_cast<int>(L::kReleCount), Codec::HexPair, {L::kReleDurations, 2}, kNoMove, nullptr,
     nullptr},
    {Id::Vihod, "Vihod", 0, Codec::HexPair, {L::kArmingDelay, 2}, kNoMove, nullptr, nullptr},
    {Id::ID, "ID", static_cast<int>(L::kIdentifierCount), Codec::Text, {L::kIdentifiers, L::kIdentifierLength},
     kNoMove, nullptr, nullptr},
    {Id::MasterKey, "MasterKey", 0, Codec::Text, {L::kMasterKey, L::kIdentifierLength}, kNoMove, nullptr, nullptr},
    {Id::Zones, "Zones", 0, Codec::MaskPair, {L::kZones, 2}, kNoMove, nullptr, nullptr},
    {Id::AZones, "AZones", 0, Codec::MaskPair, {L::kAnalogZones, 2}, kNoMove, nullptr, V::HasAfterDelays},
    {Id::Ohr, "Ohr", 0, Codec::OnIfOne, {L::kGuardMode, 1}, kNoMove, nullptr, nullptr},
    {Id::OhrSMS, "OhrSMS", 0, Codec::OffIfZero, {L::kSmsArming, 1}, kNoMove, nullptr, nullptr},
}};
// clang-format on

constexpr const Field& Of(Id id) { return kFields[static_cast<std::size_t>(id)]; }

constexpr bool IdsInTableOrder() {
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    if (static_cast<std::size_t>(kFields[i].id) != i) return false;
  }
  return true;
}
static_assert(IdsInTableOrder());

}  // namespace vemtaro::fields
