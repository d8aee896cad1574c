#include "qt_file_store.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <random>
#endif

namespace vemtaro::shell {
namespace {

std::string TooLarge(unsigned long long size) {
  std::string text = "the file is too large";
  if (size > 0) text += " (" + std::to_string(size) + " bytes)";
  return text + "; a settings file is at most " + std::to_string(QtFileStore::kMaxReadBytes / 1024) + " KiB";
}

constexpr const char* kNotRegular =
    "not a regular file (a device, a FIFO or a socket); only ordinary files are read and written";

// A name the system cannot take as it is.
bool BadName(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "no file name was given";
    return true;
  }
  if (path.find('\0') != std::string::npos) {
    error = "the file name holds a zero byte";
    return true;
  }
  return false;
}

}  // namespace

#ifndef _WIN32

namespace {

std::string SystemError(int code) { return std::strerror(code); }

// The folder a file is in ("." for a bare name) and its own name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Symbolic links a write goes through before it gives up: the system's own limit.
constexpr int kMaxLinks = 40;

// Whether a write may go through the symbolic link `link` (lstat in `st`): the
// link is the user's own, or its folder's owner's. The system applies that rule
// to links in shared folders such as /tmp; the store applies it wherever the
// link is, since it follows links itself.
bool TrustedLink(const std::string& link, const struct stat& st, std::string& error) {
  if (st.st_uid == ::geteuid()) return true;
  struct stat folder {};
  if (::stat(SplitPath(link).first.c_str(), &folder) == 0 && folder.st_uid == st.st_uid) return true;
  error = "the symbolic link " + link +
          " belongs to another user than you and its folder's owner; nothing is written through it";
  return false;
}

// The file a write replaces: a symbolic link is followed, link by link, to the
// file it names, each link checked by TrustedLink.
bool ResolveTarget(const std::string& path, std::string& target, struct stat& st, bool& exists, std::string& error) {
  target = path;
  exists = false;
  struct stat link {};
  for (int links = 0;; ++links) {
    if (::lstat(target.c_str(), &link) != 0) {
      if (errno != ENOENT) {
        error = SystemError(errno);
        return false;
      }
      if (links == 0) return true;
      error = "a symbolic link to a file that cannot be reached: " + SystemError(ENOENT);
      return false;
    }
    if (!S_ISLNK(link.st_mode)) break;
    if (links == kMaxLinks) {
      error = SystemError(ELOOP);
      return false;
    }
    if (!TrustedLink(target, link, error)) return false;
    std::string named(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), named.data(), named.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= named.size()) {
      error = "a symbolic link to a file that cannot be reached: " + SystemError(n < 0 ? errno : ENAMETOOLONG);
      return false;
    }
    named.resize(static_cast<std::size_t>(n));
    // A relative link names a file beside it.
    target = named.front() == '/' ? named : SplitPath(target).first + "/" + named;
  }
  st = link;
  exists = true;
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? std::string("is a directory") : std::string(kNotRegular) + "; it is left as it is";
    return false;
  }
  return true;
}

bool WriteFully(int fd, const std::string& bytes, std::string& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = SystemError(errno);
      return false;
    }
    if (n == 0) {
      error = SystemError(ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool QtFileStore::ReadAll(const std::string& path, std::string& bytes, std::string& error) {
  if (BadName(path, error)) return false;
  // Looked at before it is opened: opening a device can have effects of its own.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = SystemError(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = "is a directory";
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = kNotRegular;
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxReadBytes) {
    error = TooLarge(static_cast<unsigned long long>(st.st_size));
    return false;
  }
  // Without blocking, in case it was replaced by a FIFO in the meantime.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = SystemError(errno);
    return false;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = kNotRegular;
    ::close(fd);
    return false;
  }
  // At most one byte past the limit, whatever the file has grown to.
  std::string data(kMaxReadBytes + 1, '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = SystemError(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got > kMaxReadBytes) {
    error = TooLarge(0);
    return false;
  }
  data.resize(got);
  bytes = std::move(data);
  return true;
}

bool QtFileStore::CanCreate(const std::string& path, bool mayExist, std::string& error) {
  if (BadName(path, error)) return false;
  std::string target;
  struct stat st {};
  bool exists = false;
  if (::lstat(path.c_str(), &st) == 0 && !mayExist) {
    error = kExists;
    return false;
  }
  if (!ResolveTarget(path, target, st, exists, error)) return false;
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    error = SystemError(errno);
    return false;
  }
  const std::string folder = SplitPath(target).first;
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0) {
    error = "the folder " + folder + " cannot be used: " + SystemError(errno);
    return false;
  }
  if (!S_ISDIR(dir.st_mode)) {
    error = folder + " is not a folder";
    return false;
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    error = "no new file can be made in " + folder + ": " + SystemError(errno);
    return false;
  }
  return true;
}

bool QtFileStore::WriteAll(const std::string& path, const std::string& bytes, std::string& error) {
  if (BadName(path, error)) return false;
  std::string target;
  struct stat st {};
  bool exists = false;
  if (!ResolveTarget(path, target, st, exists, error)) return false;
  // A file the user may not write is not replaced behind their back.
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    error = SystemError(errno);
    return false;
  }
  const auto [folder, name] = SplitPath(target);
  // The permission bits of the file replaced (never set-user-ID, set-group-ID
  // or sticky), or those of a new file.
  mode_t mode = 0;
  if (exists) {
    mode = st.st_mode & 0777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // Where the system has them, the bytes go to a file without a name, which
  // gets one only when it is whole: a save killed while writing leaves nothing.
  std::string temporary;
  int fd = -1;
  bool unnamed = false;
#ifdef O_TMPFILE
  fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  unnamed = fd >= 0;
#endif
  if (fd < 0) {
    temporary = folder + "/." + name + ".XXXXXX";
    fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
      error = SystemError(errno);
      return false;
    }
  }
  auto fail = [&](const std::string& why) {
    error = why;
    ::close(fd);
    if (!temporary.empty()) ::unlink(temporary.c_str());
    return false;
  };
  if (exists) {
    // The file replaced keeps its group (a folder shared by a group stays
    // shared), and its owner when the user may give it (root). Where the group
    // cannot be kept, its permission bits are not handed to the user's own.
    const uid_t owner = ::geteuid() == 0 ? st.st_uid : static_cast<uid_t>(-1);
    if (::fchown(fd, owner, st.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) mode &= ~070;
  }
  if (::fchmod(fd, mode) != 0) return fail(SystemError(errno));
  if (!WriteFully(fd, bytes, error)) return fail(error);
  if (::fsync(fd) != 0) return fail(SystemError(errno));
  if (unnamed) {
    // A name of its own beside the target, then the target's name.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && temporary.empty(); ++attempt) {
      const std::string candidate = folder + "/." + name + "." + std::to_string(random() % 1000000000);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temporary = candidate;
      } else if (errno != EEXIST) {
        return fail(SystemError(errno));
      }
    }
    if (temporary.empty()) return fail(SystemError(EEXIST));
  }
  if (::close(fd) != 0) {
    error = SystemError(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    error = SystemError(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool QtFileStore::WriteNew(const std::string& path, const std::string& bytes, std::string& error) {
  if (BadName(path, error)) return false;
  // Made by this call or not at all: an existing file, or a link even to
  // nothing, is left as it is.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = errno == EEXIST ? std::string(kExists) : SystemError(errno);
    return false;
  }
  auto fail = [&](const std::string& why) {
    error = why;
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  };
  // Private whatever the umask.
  if (::fchmod(fd, 0600) != 0) return fail(SystemError(errno));
  if (!WriteFully(fd, bytes, error)) return fail(error);
  if (::fsync(fd) != 0) return fail(SystemError(errno));
  if (::close(fd) != 0) {
    error = SystemError(errno);
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

#else  // _WIN32: names are Unicode there, and Qt takes every one of them.

bool QtFileStore::ReadAll(const std::string& path, std::string& bytes, std::string& error) {
  if (BadName(path, error)) return false;
  const QString name = QString::fromStdString(path);
  const QFileInfo info(name);
  if (info.isDir()) {
    error = "is a directory";
    return false;
  }
  if (info.exists() && !info.isFile()) {
    error = kNotRegular;
    return false;
  }
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  if (file.size() > static_cast<qint64>(kMaxReadBytes)) {
    error = TooLarge(static_cast<unsigned long long>(file.size()));
    return false;
  }
  const QByteArray data = file.read(static_cast<qint64>(kMaxReadBytes) + 1);
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString().toStdString();
    return false;
  }
  if (data.size() > static_cast<qsizetype>(kMaxReadBytes)) {
    error = TooLarge(0);
    return false;
  }
  bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
  return true;
}

bool QtFileStore::CanCreate(const std::string& path, bool mayExist, std::string& error) {
  if (BadName(path, error)) return false;
  const QFileInfo info(QString::fromStdString(path));
  if (info.exists() && !mayExist) {
    error = kExists;
    return false;
  }
  if (info.exists() && !info.isFile()) {
    error = info.isDir() ? std::string("is a directory") : std::string(kNotRegular);
    return false;
  }
  const QFileInfo folder(info.absolutePath());
  if (!folder.isDir() || !folder.isWritable()) {
    error = "no new file can be made in " + info.absolutePath().toStdString();
    return false;
  }
  return true;
}

bool QtFileStore::WriteAll(const std::string& path, const std::string& bytes, std::string& error) {
  if (BadName(path, error)) return false;
  const QFileInfo info(QString::fromStdString(path));
  if (info.exists() && !info.isFile()) {
    error = info.isDir() ? std::string("is a directory") : std::string(kNotRegular) + "; it is left as it is";
    return false;
  }
  QSaveFile file(info.filePath());
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size || !file.flush()) {
    const int code = errno;
    error = file.errorString().toStdString();
    if (error.empty() || error == "Unknown error") error = std::strerror(code);
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    error = file.errorString().toStdString();
    return false;
  }
  return true;
}

bool QtFileStore::WriteNew(const std::string& path, const std::string& bytes, std::string& error) {
  if (BadName(path, error)) return false;
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    error = file.exists() ? std::string(kExists) : file.errorString().toStdString();
    return false;
  }
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size || !file.flush()) {
    error = file.errorString().toStdString();
    file.close();
    file.remove();
    return false;
  }
  file.close();
  return true;
}

#endif

}  // namespace vemtaro::shell
