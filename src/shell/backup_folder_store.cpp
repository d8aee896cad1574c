#include "backup_folder_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/settings_file.h"
#include "qt_file_store.h"
#include "window/main_model.h"

namespace vemtaro::shell {
namespace {

const char* const kStampFormat = "yyyy-MM-dd_HH-mm-ss";
const char* const kSuffix = ".dat";
// Copies kept within one second before the store gives up looking for a name.
constexpr int kMaxNumber = 100000;

std::string Located(const QString& path, const std::string& reason) {
  return QDir::toNativeSeparators(path).toStdString() + ": " + reason;
}

}  // namespace

QString BackupFolderStore::DefaultRoot() {
#ifndef _WIN32
  // Without a home folder the system's answer is a folder under "/", which is
  // nobody's: no folder then.
  const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
  const QString home = qEnvironmentVariable("HOME");
  if (!dataHome.startsWith(QLatin1Char('/')) && (home.isEmpty() || QDir(home).isRoot())) return {};
#endif
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (data.isEmpty()) return {};
  // The data folder is named after the program asking; the copies are the
  // desktop program's, wherever they are made.
  return QDir(QFileInfo(data).path()).filePath(QString::fromUtf8(main_texts::kTitle) + QStringLiteral("/backups"));
}

BackupFolderStore::BackupFolderStore(QString root, Clock clock) : root_(std::move(root)), clock_(std::move(clock)) {}

namespace {

#ifndef _WIN32
// A folder of copies that only the user may enter: made 0700 (its missing
// parents too), or, with `tighten`, closed to others when it is the user's own.
// `made` tells whether this call made it.
bool PrivateFolder(const QString& folder, bool& made, std::string& error, bool tighten = true) {
  made = false;
  const QByteArray path = QFile::encodeName(folder);
  struct stat st {};
  if (::stat(path.constData(), &st) != 0) {
    if (errno != ENOENT) {
      error = Located(folder, std::strerror(errno));
      return false;
    }
    const QString parent = QFileInfo(folder).path();
    bool parentMade = false;
    if (parent != folder && !PrivateFolder(parent, parentMade, error, false)) return false;
    made = ::mkdir(path.constData(), 0700) == 0;
    if (!made && errno != EEXIST) {
      error = Located(folder, std::strerror(errno));
      return false;
    }
    if (::stat(path.constData(), &st) != 0) {
      error = Located(folder, std::strerror(errno));
      return false;
    }
  }
  if (!S_ISDIR(st.st_mode)) {
    error = Located(folder, std::strerror(ENOTDIR));
    return false;
  }
  // A folder made here is 0700 whatever the umask; the copies' own folders, when
  // they are the user's, lose what they grant to others. A folder above them,
  // and another user's, are left as they are.
  const mode_t mode = st.st_mode & 07777;
  mode_t wanted = mode;
  if (made) {
    wanted = 0700;
  } else if (tighten && st.st_uid == ::geteuid()) {
    wanted = mode & 0700;
  }
  if (wanted != mode && ::chmod(path.constData(), wanted) != 0) {
    error = Located(folder, std::strerror(errno));
    return false;
  }
  return true;
}
#else
bool PrivateFolder(const QString& folder, bool& made, std::string& error, bool = true) {
  made = !QFileInfo(folder).isDir();
  if (made && !QDir().mkpath(folder)) {
    error = Located(folder, "the folder cannot be made");
    return false;
  }
  return true;
}
#endif

}  // namespace

bool BackupFolderStore::Keep(const BackupCopy& copy, std::string& where, std::string& error) {
  if (root_.isEmpty()) {
    error = backup_store_texts::kNoDataFolder;
    return false;
  }
  const QString root = QDir::cleanPath(QDir(root_).absolutePath());
  const QString name = QString::fromStdString(BackupFolderName(copy.objectId));
  const QString folder = QDir::cleanPath(root + QLatin1Char('/') + name);
  // The object's folder is a direct child of the backups folder, whatever the
  // identifier holds.
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
      name.contains(QLatin1Char('\\')) || QFileInfo(folder).absolutePath() != root) {
    error = backup_store_texts::kOutside;
    return false;
  }

  // The backups folder and the object's folder are private; the folders above
  // them are made private when they are made here.
  bool rootMade = false;
  bool created = false;
  if (!PrivateFolder(root, rootMade, error) || !PrivateFolder(folder, created, error)) return false;

  const QString stamp = (clock_ ? clock_() : QDateTime::currentDateTime()).toString(QLatin1String(kStampFormat));
  const QDir dir(folder);
  // Each name is taken by making the file: one that exists, or a link even to
  // nothing, is passed over and left as it is.
  std::string reason = backup_store_texts::kNoFreeName;
  QString failed = folder;
  for (int number = 1; number <= kMaxNumber; ++number) {
    const QString path =
        dir.filePath(number == 1 ? stamp + kSuffix : stamp + QLatin1Char('-') + QString::number(number) + kSuffix);
    if (QtFileStore::WriteNew(QFile::encodeName(path).toStdString(), copy.fileBytes, reason)) {
      where = path.toStdString();
      return true;
    }
    if (reason != QtFileStore::kExists) {
      failed = path;
      break;
    }
    reason = backup_store_texts::kNoFreeName;
  }
  error = Located(failed, reason);
  // A folder made for this copy alone goes again (rmdir removes only an empty one).
  if (created) QDir().rmdir(folder);
  return false;
}

std::vector<KeptCopy> BackupFolderStore::List() const {
  std::vector<KeptCopy> copies;
  if (root_.isEmpty()) return copies;
  static const QRegularExpression kName(
      QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2})(?:-(\\d+))?\\.dat$"),
      QRegularExpression::CaseInsensitiveOption);
  const QDir root(root_);
  QtFileStore files;
  for (const QFileInfo& folder : root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const QDir dir(folder.absoluteFilePath());
    // Name filters match regardless of case.
    for (const QFileInfo& file : dir.entryInfoList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name)) {
      KeptCopy copy;
      copy.path = file.absoluteFilePath();
      copy.object = folder.fileName();
      const QRegularExpressionMatch match = kName.match(file.fileName());
      if (match.hasMatch()) {
        copy.time = QDateTime::fromString(match.captured(1), QLatin1String(kStampFormat));
        if (match.hasCaptured(2)) copy.number = match.captured(2).toInt();
      }
      if (!copy.time.isValid()) copy.time = file.lastModified();
      std::string bytes;
      std::string error;
      if (!files.ReadAll(copy.path.toStdString(), bytes, error)) {
        copy.problem = QString::fromStdString(error);
      } else {
        const SettingsFileParse parsed = ParseSettingsFile(bytes);
        if (parsed.data) {
          copy.version = parsed.data->version;
        } else {
          copy.problem = QString::fromStdString(parsed.error.message);
        }
      }
      copies.push_back(std::move(copy));
    }
  }
  std::sort(copies.begin(), copies.end(), [](const KeptCopy& a, const KeptCopy& b) {
    if (a.time != b.time) return a.time > b.time;
    if (a.number != b.number) return a.number > b.number;
    if (a.object != b.object) return a.object < b.object;
    return a.path < b.path;
  });
  return copies;
}

}  // namespace vemtaro::shell
