#include "files/settings_file.h"

#include <cstdio>

namespace vemtaro {
namespace {

constexpr std::size_t kLengthField = 5;
constexpr std::size_t kMaxLength = 99999;

// Decimal digits, optionally after leading blanks; at most 9 digits.
std::optional<std::size_t> ParseLength(std::string_view s, bool blanksAnywhere) {
  std::string digits;
  bool seenDigit = false;
  for (char c : s) {
    if (c == ' ' && (blanksAnywhere || !seenDigit)) continue;
    if (c < '0' || c > '9') return std::nullopt;
    seenDigit = true;
    digits.push_back(c);
  }
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  return static_cast<std::size_t>(std::stoul(digits));
}

std::string Quoted(std::string_view s) {
  std::string out = "«";
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out.push_back(c);
    }
  }
  return out + "»";
}

SettingsFileParse Fail(std::string field, std::size_t offset, const std::string& what) {
  SettingsFileParse r;
  r.error = {field, offset, what + " (байт " + std::to_string(offset) + ")"};
  return r;
}

}  // namespace

SettingsFileParse ParseSettingsFile(std::string_view bytes) {
  if (bytes.empty()) return Fail("V", 0, "файл пуст");
  if (bytes.size() > kMaxSettingsFileBytes) {
    return Fail("size", kMaxSettingsFileBytes,
                "файл длиннее " + std::to_string(kMaxSettingsFileBytes) + " байт не является файлом настроек");
  }
  if (bytes[0] != 'V') return Fail("V", 0, "файл не начинается с признака версии «V»");
  const std::size_t star = bytes.find('*', 1);
  if (star == std::string_view::npos) {
    return Fail("version", 1, "номер версии не завершён символом «*»");
  }
  const std::string_view versionText = bytes.substr(1, star - 1);
  const auto version = ParseLength(versionText, false);
  if (!version || versionText.empty() || versionText[0] == ' ' || *version > 999999) {
    return Fail("version", 1, "номер версии " + Quoted(versionText) + " не является числом");
  }
  SettingsFileData d;
  d.version = static_cast<int>(*version);
  std::size_t p = star + 1;

  auto readTree = [&](const char* name, int n, std::string& out,
                      std::size_t& sectionOffset) -> std::optional<SettingsFileParse> {
    const std::string lengthName = std::string("длина дерева ") + std::to_string(n);
    if (bytes.size() - p < kLengthField) {
      return Fail(std::string(name) + "Length", p, "файл обрывается в поле «" + lengthName + "»");
    }
    const std::string_view field = bytes.substr(p, kLengthField);
    const auto length = ParseLength(field, false);
    if (!length) {
      return Fail(std::string(name) + "Length", p,
                  "поле «" + lengthName + "» " + Quoted(field) + " не является числом");
    }
    p += kLengthField;
    if (bytes.size() - p < *length) {
      return Fail(name, p,
                  "дерево " + std::to_string(n) + " объявлено длиной " + std::to_string(*length) +
                      " байт, а до конца файла осталось " + std::to_string(bytes.size() - p));
    }
    sectionOffset = p;
    out.assign(bytes.substr(p, *length));
    p += *length;
    return std::nullopt;
  };
  if (auto e = readTree("tree1", 1, d.tree1, d.tree1Offset)) return *e;
  if (auto e = readTree("tree2", 2, d.tree2, d.tree2Offset)) return *e;

  if (bytes.size() - p < kLengthField) {
    return Fail("imageLength", p, "файл обрывается в поле «длина образа»");
  }
  d.imageLengthOffset = p;
  const auto n = ParseLength(bytes.substr(p, kLengthField), true);
  p += kLengthField;
  d.imageOffset = p;
  if (n) {
    if (bytes.size() - p < *n) {
      return Fail("image", p,
                  "образ объявлен длиной " + std::to_string(*n) + " байт, а до конца файла осталось " +
                      std::to_string(bytes.size() - p));
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(bytes.data() + p);
    d.image = Bytes(first, first + *n);
  }
  SettingsFileParse r;
  r.data = std::move(d);
  return r;
}

std::optional<std::string> WriteSettingsFile(int version, const std::string& tree1, const std::string& tree2,
                                             const Bytes& image, std::string* error) {
  if (tree1.size() > kMaxLength || tree2.size() > kMaxLength || image.size() > kMaxLength) {
    if (error != nullptr) {
      *error = "текст дерева длиннее " + std::to_string(kMaxLength) +
               " байт не помещается в файл настроек; сократите названия узлов";
    }
    return std::nullopt;
  }
  char buf[16];
  std::string out;
  out.reserve(tree1.size() + tree2.size() + image.size() + 32);
  out += 'V';
  out += std::to_string(version);
  out += '*';
  std::snprintf(buf, sizeof buf, "%05zu", tree1.size());
  out += buf;
  out += tree1;
  std::snprintf(buf, sizeof buf, "%05zu", tree2.size());
  out += buf;
  out += tree2;
  std::snprintf(buf, sizeof buf, "%-5zu", image.size());
  out += buf;
  out.append(reinterpret_cast<const char*>(image.data()), image.size());
  return out;
}

}  // namespace vemtaro
