// Whole-file reading and writing with Qt. Writing goes through QSaveFile: the
// bytes land in a temporary file that replaces the target only when complete,
// so a failed write never leaves a partial or damaged file behind.
#pragma once

#include <string>

#include "model/dialogs.h"

namespace vemtaro::shell {

class QtFileStore : public FileStore {
 public:
  // Paths are UTF-8.
  bool ReadAll(const std::string& path, std::string& bytes, std::string& error) override;
  bool WriteAll(const std::string& path, const std::string& bytes, std::string& error) override;
};

}  // namespace vemtaro::shell
