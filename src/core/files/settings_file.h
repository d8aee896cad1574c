// The settings file (*.dat): "V", the firmware version in decimal, "*", the
// length of tree 1 in five digits, tree 1's text, the length of tree 2 in five
// digits, tree 2's text, the image length in four digits and a blank, and the
// image byte for byte. Nothing separates the fields and nothing follows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/image.h"

namespace vemtaro {

// No settings file is larger: three fields of at most 99999 bytes and a few
// bytes of marks. Readers refuse anything larger before they read it.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;

struct SettingsFileData {
  int version = 0;
  std::string tree1;  // bytes of the tree texts
  std::string tree2;
  std::size_t tree1Offset = 0;  // where each section starts in the file
  std::size_t tree2Offset = 0;
  std::size_t imageLengthOffset = 0;
  std::size_t imageOffset = 0;
  // The image section; nothing when its length field is not a number.
  std::optional<Bytes> image;
};

struct SettingsFileError {
  std::string field;    // which field could not be read
  std::size_t offset;   // byte offset of that field in the file
  std::string message;  // what is wrong, with the field and offset
};

struct SettingsFileParse {
  std::optional<SettingsFileData> data;
  SettingsFileError error;  // when data is empty
};

// Reads the fields of a settings file. Never reads past the end of the file or
// past a declared length: an empty, truncated, garbled or oversized (more than
// kMaxSettingsFileBytes) file is refused with the field and offset where
// reading stopped.
SettingsFileParse ParseSettingsFile(std::string_view bytes);

// The bytes of a settings file. The tree lengths are written with five digits
// (zero-padded); a tree text longer than 99999 bytes cannot be stored and gives
// nothing, with the reason in error.
std::optional<std::string> WriteSettingsFile(int version, const std::string& tree1, const std::string& tree2,
                                             const Bytes& image, std::string* error = nullptr);

}  // namespace vemtaro
