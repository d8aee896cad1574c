#include "window/file_places.h"

#include "model/utf8.h"

namespace vemtaro {
namespace {

// The folder part of a path, without its last '/'; "/" for a file at the
// root, empty for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

bool IsBlank(char32_t code) { return code == U' ' || code == U'\u00A0'; }

}  // namespace

void FilePlaces::Chosen(const std::string& path) {
  std::string folder = FolderOf(path);
  if (!folder.empty()) folder_ = std::move(folder);
}

FileDialogStart FilePlaces::SaveStart(std::string_view objectId) const {
  std::string name = SafeFileName(objectId);
  if (!name.empty()) {
    name += file_places::kExtension;
  } else if (!file_.empty() && !NameOf(file_).empty()) {
    name = NameOf(file_);
  } else {
    name = file_places::kDefaultName;
  }
  return {folder_, name};
}

std::string SafeFileName(std::string_view text) {
  // Character by character, each with where it ends in the result, so that
  // the blanks at the end can be cut off after.
  std::string out;
  std::size_t kept = 0;  // the result's length up to its last character that is not a blank
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    const std::size_t length = utf8::CharacterAt(text, i, code);
    if (length == 0) {
      ++i;
      continue;
    }
    i += length;
    if (IsControl(code)) continue;
    if (out.empty() && (IsBlank(code) || code == U'.')) continue;
    if (code == U'/' || code == U'\\') code = U'-';
    utf8::Append(out, code);
    if (!IsBlank(code)) kept = out.size();
  }
  out.resize(kept);
  return out;
}

}  // namespace vemtaro
