// Whole-file reading and writing for the shells.
//
// Reading takes regular files only, of at most kMaxReadBytes: a device, a FIFO
// or a socket is refused before anything is read from it (so /dev/zero or a
// FIFO never fills the memory or blocks), and a larger file is refused after
// reading at most one byte past the limit.
//
// Writing replaces the file only when the new contents are whole on the disk:
// the bytes land in a temporary file beside it, which is flushed to the disk
// and then renamed over the target. A target that exists but is not a regular
// file (a device such as /dev/null, a FIFO) is refused and left as it is; a
// symbolic link is followed and the file it names is replaced, but only a link
// of the user's own or of its folder's owner: a link that another user planted
// in a shared folder such as /tmp is refused. The file replaced keeps its group
// and permission bits (never set-user-ID, set-group-ID or sticky).
//
// Paths are the system's file names. On Unix they are the bytes of the name,
// whatever they are (a name from an old Windows archive need not be UTF-8);
// names that come from Qt are UTF-8, which is how Qt encodes file names there.
// Failures are told in the system's words ("No space left on device").
#pragma once

#include <cstddef>
#include <string>

#include "files/settings_file.h"
#include "model/dialogs.h"

namespace vemtaro::shell {

class QtFileStore : public FileStore {
 public:
  // No file that the programs read is larger than a settings file may be.
  static constexpr std::size_t kMaxReadBytes = kMaxSettingsFileBytes;
  // Why a file that must be new cannot be made.
  static constexpr const char* kExists = "the file exists";

  bool ReadAll(const std::string& path, std::string& bytes, std::string& error) override;
  bool WriteAll(const std::string& path, const std::string& bytes, std::string& error) override;

  // Makes a new private file (0600 whatever the umask) with the bytes, flushed
  // to the disk. An existing file or a symbolic link at `path` is refused
  // (kExists) and left as it is, even one that appeared after any earlier
  // check; a failed write removes what it made.
  static bool WriteNew(const std::string& path, const std::string& bytes, std::string& error);

  // Whether WriteAll could create or replace the file: its folder exists and
  // takes new files, and the file, if it exists, is a regular file that may be
  // replaced. With mayExist false an existing file is refused too.
  static bool CanCreate(const std::string& path, bool mayExist, std::string& error);
};

}  // namespace vemtaro::shell
