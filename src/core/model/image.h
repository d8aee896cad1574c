// The configuration image: one byte array that holds the controller's whole
// configuration, with the codecs of its field encodings.
//
// Every access is bounds-checked: a write that does not fit the image is left
// out, and a read outside the image fails, so no handler can reach past the
// current length whatever version or file brought it there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemtaro {

using Bytes = std::vector<std::uint8_t>;
using CheckStates = std::array<bool, 8>;

class ConfigImage {
 public:
  ConfigImage() = default;
  explicit ConfigImage(std::size_t length) : bytes_(length, 0) {}
  explicit ConfigImage(Bytes bytes) : bytes_(std::move(bytes)) {}

  std::size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }
  // Keeps the bytes that fit; new bytes are 0.
  void Resize(std::size_t length) { bytes_.resize(length, 0); }
  void Clear() { bytes_.clear(); }
  bool Fits(std::size_t offset, std::size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  std::optional<std::uint8_t> Byte(std::size_t offset) const;
  void SetByte(std::size_t offset, std::uint8_t value);
  // The first bytes of `from`, as many as both hold, in place of this image's
  // first bytes.
  void CopyFrom(const Bytes& from);
  // Raw bytes as they stand (no conversion).
  std::string Raw(std::size_t offset, std::size_t length) const;
  void SetRaw(std::size_t offset, std::string_view bytes);
  void Fill(std::size_t offset, std::size_t length, std::uint8_t value);

  // Hex pair: two uppercase hexadecimal digits on writing; either case on reading.
  void WriteHexPair(std::size_t offset, int value);
  std::optional<int> ReadHexPair(std::size_t offset) const;
  // Mask pair: a hex pair whose bit i is item i+1 of an eight-item check group.
  void WriteMaskPair(std::size_t offset, const CheckStates& items);
  std::optional<CheckStates> ReadMaskPair(std::size_t offset) const;
  // Text field of n bytes: the text in Windows-1251, then '*' fill. A longer text
  // is stored as its first n characters.
  void WriteText(std::size_t offset, std::size_t n, std::string_view utf8);
  // Every byte that is not '*', in order, as UTF-8.
  std::string ReadText(std::size_t offset, std::size_t n) const;
  // Flag digit: '1' or '0'.
  void WriteFlag(std::size_t offset, bool on) { SetByte(offset, on ? '1' : '0'); }

 private:
  Bytes bytes_;
};

// Sum of all bytes but the last, modulo 256; 0 for an empty image.
std::uint8_t ImageChecksum(const Bytes& image);
inline std::uint8_t ImageChecksum(const ConfigImage& image) { return ImageChecksum(image.bytes()); }

// Status digit: the kinds of status message as bits of a decimal digit, bit 0
// "Входы/выходы", bit 1 "АЦП (аналоговые входы)", bit 2 "Цифровая шина". The
// program writes '0'..'7'; a controller may hold '8' or '9', whose low bits
// are read the same way.
inline constexpr int kStatusInputsBit = 1;
inline constexpr int kStatusAnalogBit = 2;
inline constexpr int kStatusBusBit = 4;
inline std::uint8_t StatusDigit(bool inputs, bool bus, bool analog) {
  return static_cast<std::uint8_t>('0' + (inputs ? kStatusInputsBit : 0) + (analog ? kStatusAnalogBit : 0) +
                                   (bus ? kStatusBusBit : 0));
}
// The value 0..9 of a status digit; nothing for another byte.
inline std::optional<int> StatusDigitValue(std::uint8_t byte) {
  if (byte < '0' || byte > '9') return std::nullopt;
  return byte - '0';
}

// Value 0..15 of one hexadecimal digit of either case, or -1.
int HexDigitValue(std::uint8_t c);
// The mask of eight check states and back.
int MaskOf(const CheckStates& items);
CheckStates ItemsOfMask(int mask);

}  // namespace vemtaro
