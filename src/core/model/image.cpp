#include "model/image.h"

#include <algorithm>

#include "model/cp1251.h"
#include "model/layout.h"

namespace vemtaro {

int HexDigitValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int MaskOf(const CheckStates& items) {
  int v = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i]) v |= 1 << i;
  }
  return v;
}

CheckStates ItemsOfMask(int mask) {
  CheckStates items{};
  for (std::size_t i = 0; i < items.size(); ++i) items[i] = (mask >> i) & 1;
  return items;
}

std::optional<std::uint8_t> ConfigImage::Byte(std::size_t offset) const {
  if (offset >= bytes_.size()) return std::nullopt;
  return bytes_[offset];
}

void ConfigImage::SetByte(std::size_t offset, std::uint8_t value) {
  if (offset < bytes_.size()) bytes_[offset] = value;
}

void ConfigImage::CopyFrom(const Bytes& from) {
  std::copy_n(from.begin(), std::min(from.size(), bytes_.size()), bytes_.begin());
}

std::string ConfigImage::Raw(std::size_t offset, std::size_t length) const {
  if (offset >= bytes_.size()) return {};
  const std::size_t n = std::min(length, bytes_.size() - offset);
  return std::string(reinterpret_cast<const char*>(bytes_.data() + offset), n);
}

// How many of length bytes from offset lie inside the image; offset + i never
// wraps around for i below it.
static std::size_t InsideCount(std::size_t size, std::size_t offset, std::size_t length) {
  return offset < size ? std::min(length, size - offset) : 0;
}

void ConfigImage::SetRaw(std::size_t offset, std::string_view bytes) {
  const std::size_t n = InsideCount(bytes_.size(), offset, bytes.size());
  for (std::size_t i = 0; i < n; ++i) bytes_[offset + i] = static_cast<std::uint8_t>(bytes[i]);
}

void ConfigImage::Fill(std::size_t offset, std::size_t length, std::uint8_t value) {
  const std::size_t n = InsideCount(bytes_.size(), offset, length);
  for (std::size_t i = 0; i < n; ++i) bytes_[offset + i] = value;
}

void ConfigImage::WriteHexPair(std::size_t offset, int value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const int v = value < 0 ? 0 : (value > 255 ? 255 : value);
  if (!Fits(offset, 2)) return;
  bytes_[offset] = static_cast<std::uint8_t>(kDigits[v >> 4]);
  bytes_[offset + 1] = static_cast<std::uint8_t>(kDigits[v & 15]);
}

std::optional<int> ConfigImage::ReadHexPair(std::size_t offset) const {
  if (!Fits(offset, 2)) return std::nullopt;
  const int hi = HexDigitValue(bytes_[offset]);
  const int lo = HexDigitValue(bytes_[offset + 1]);
  if (hi < 0 || lo < 0) return std::nullopt;
  return hi * 16 + lo;
}

void ConfigImage::WriteMaskPair(std::size_t offset, const CheckStates& items) { WriteHexPair(offset, MaskOf(items)); }

std::optional<CheckStates> ConfigImage::ReadMaskPair(std::size_t offset) const {
  const auto v = ReadHexPair(offset);
  if (!v) return std::nullopt;
  return ItemsOfMask(*v);
}

void ConfigImage::WriteText(std::size_t offset, std::size_t n, std::string_view utf8) {
  const std::string coded = Utf8ToCp1251(utf8);
  const std::size_t inside = InsideCount(bytes_.size(), offset, n);
  for (std::size_t i = 0; i < inside; ++i) {
    bytes_[offset + i] = i < coded.size() ? static_cast<std::uint8_t>(coded[i]) : layout::kFill;
  }
}

std::string ConfigImage::ReadText(std::size_t offset, std::size_t n) const {
  std::string coded;
  for (char c : Raw(offset, n)) {
    if (static_cast<std::uint8_t>(c) != layout::kFill) coded.push_back(c);
  }
  return Cp1251ToUtf8(coded);
}

std::uint8_t ImageChecksum(const Bytes& image) {
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < image.size(); ++i) sum += image[i];
  return static_cast<std::uint8_t>(sum & 0xFF);
}

}  // namespace vemtaro
