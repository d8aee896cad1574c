#include "window/backups.h"

#include "model/layout.h"
#include "model/profiles.h"

namespace vemtaro {
namespace L = layout;

std::string ObjectIdOf(const ConfigImage& image, int version) {
  if (versions::LongObjectId(version)) return image.ReadText(L::kObjectIdLong, L::kObjectIdLongLength);
  return image.ReadText(L::kObjectIdShort, L::kObjectIdShortLength);
}

std::string BackupFolderName(const std::string& objectId) {
  std::string name;
  name.reserve(objectId.size());
  for (const char c : objectId) {
    const auto u = static_cast<unsigned char>(c);
    // UTF-8 sequences (Cyrillic identifiers) pass unchanged; ASCII control
    // characters, separators and what Windows refuses in a name do not.
    const bool refused = u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
                         c == '"' || c == '<' || c == '>' || c == '|';
    name.push_back(refused ? '_' : c);
  }
  const auto trimmed = [](char c) { return c == ' ' || c == '.'; };
  while (!name.empty() && trimmed(name.back())) name.pop_back();
  std::size_t first = 0;
  while (first < name.size() && trimmed(name[first])) ++first;
  name.erase(0, first);
  if (name.empty()) return backup_texts::kNoObjectId;
  return name;
}

}  // namespace vemtaro
