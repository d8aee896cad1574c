// Where the settings-file dialogs start, for the time the program runs: the
// folder of the file last chosen, opened or saved, and for a save a name made
// from the object identifier. Nothing of it outlives the program.
#pragma once

#include <string>
#include <string_view>

#include "model/dialogs.h"

namespace vemtaro {

namespace file_places {
// The name a save suggests when neither the object identifier nor a file in
// use gives one.
inline constexpr const char* kDefaultName = "vemtaro.dat";
inline constexpr const char* kExtension = ".dat";
}  // namespace file_places

class FilePlaces {
 public:
  // A file was chosen in a file dialog or named to be opened: the next dialog
  // starts in its folder.
  void Chosen(const std::string& path);
  // The configuration in use was opened from or saved to this file.
  void InUse(const std::string& path) { file_ = path; }
  // The configuration in use comes from no file.
  void NoFile() { file_.clear(); }
  const std::string& folder() const { return folder_; }
  const std::string& file() const { return file_; }

  // The open dialog starts in the folder last used.
  FileDialogStart OpenStart() const { return {folder_, {}}; }
  // The save dialog starts there too and suggests the object identifier as
  // the name; without a usable identifier, the name of the file in use, and
  // without one, kDefaultName.
  FileDialogStart SaveStart(std::string_view objectId) const;

 private:
  std::string folder_;
  std::string file_;
};

// A text (UTF-8) made fit to be a file name: '/' and '\' become '-', control
// characters and bytes that are not UTF-8 are left out, blanks at both ends
// and dots at the start (a hidden file) too. Empty when nothing is left.
std::string SafeFileName(std::string_view text);

}  // namespace vemtaro
