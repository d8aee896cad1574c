// Readers of the controller's replies that the exchanges take apart: the
// firmware version text, the clock reply, the sensor identifiers and the status
// block. Each reads only the bytes it is given and never past their end; parts
// of a reply that are missing come back empty, so that their fields are left
// as they were.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vemtaro {

// The firmware version number of a "Ver." reply: characters 10 to 12 of the
// version text (counting from 1), read as a decimal integer with optional
// leading blanks and an optional sign. A text shorter than 12 characters, or
// characters that do not form such a number, are unreadable: nothing comes back
// and `error` holds "'xyz' is not a valid integer value" with the characters
// that were there.
std::optional<int> VersionNumberOf(std::string_view versionText, std::string* error = nullptr);

// The display text of the controller's clock reply (the bytes before "\r\n"):
// every character but the last, with '*' shown as a blank. Nothing when one of
// those characters is not a digit, ':', '-' or '*'.
std::optional<std::string> ClockDisplayText(std::string_view reply);

// Number of identifier groups in an "ID" reply, and characters in each.
inline constexpr std::size_t kIdentifierGroups = 16;
inline constexpr std::size_t kIdentifierGroupLength = 16;

// The sixteen groups of an identifier reply, position 1 first. A group that is
// not fully present in the reply is nothing.
std::array<std::optional<std::string>, kIdentifierGroups> IdentifierGroups(std::string_view reply);

// A status block as the status window takes it apart. Lines that the block does
// not hold are nothing.
struct StatusReading {
  // Line 1: contact input k (1..8) set; inputs the line does not reach are
  // nothing.
  std::array<std::optional<bool>, 8> inputs;
  std::array<std::optional<std::string>, 8> analog;   // lines 2..9
  std::array<std::optional<std::string>, 8> sensors;  // lines 10..17
  std::optional<std::string> key;                     // line 18
};

// Reads a status block (the bytes between "STATUS\r\n" and "ENDSTATUS\r\n").
// Each line ends with "\r"; a "\n" in lines 2 to 18 is left out. A last line
// without its "\r" is taken up to the end of the data.
StatusReading ReadStatusBlock(std::string_view block);

}  // namespace vemtaro
