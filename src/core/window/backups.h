// Backups of the controller's configuration, read before a write replaces it.
//
// Before a write the link reads what the controller holds with the ordinary
// read exchange and hands it, as a whole settings file, to a BackupStore that
// the shell provides (the desktop keeps copies in a folder per object, the CLI
// writes the file the user named). When the store cannot keep the copy the
// write does not start.
#pragma once

#include <cstddef>
#include <string>

#include "model/image.h"

namespace vemtaro {

// A copy of the controller's configuration as a settings file.
struct BackupCopy {
  std::string objectId;   // the object identifier the image holds (UTF-8, fill removed); empty when none
  int version = 0;        // the controller's firmware version
  std::string fileBytes;  // the whole settings file
};

class BackupStore {
 public:
  virtual ~BackupStore() = default;
  // Keeps the copy. On success `where` names it (a path); on failure `error`
  // says why and nothing may be written.
  virtual bool Keep(const BackupCopy& copy, std::string& where, std::string& error) = 0;
};

namespace backup_texts {
// The folder of copies of an image without an object identifier.
inline constexpr const char* kNoObjectId = "без идентификатора";
}  // namespace backup_texts

// The object identifier of an image of a firmware version: its text field
// (4 characters below version 14, 10 from 14 on) without the fill, as UTF-8.
std::string ObjectIdOf(const ConfigImage& image, int version);

// A folder name for an object identifier that is safe on every platform: path
// separators, control characters and the characters Windows forbids become
// '_', leading and trailing blanks and dots are dropped, and an identifier
// that leaves nothing (or only dots) gives kNoObjectId.
std::string BackupFolderName(const std::string& objectId);

}  // namespace vemtaro
