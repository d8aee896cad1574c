#include "backup_store.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/settings_file.h"
#include "shell/qt_file_store.h"

namespace vemtaro::app {
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
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (data.isEmpty()) return {};
  return QDir(data).filePath(QStringLiteral("backups"));
}

BackupFolderStore::BackupFolderStore(QString root, Clock clock) : root_(std::move(root)), clock_(std::move(clock)) {}

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

  const bool created = !QFileInfo(folder).isDir();
  if (created) {
    std::error_code code;
    std::filesystem::create_directories(QFileInfo(folder).filesystemAbsoluteFilePath(), code);
    if (code) {
      error = Located(folder, code.message());
      return false;
    }
  }

  const QString stamp = (clock_ ? clock_() : QDateTime::currentDateTime()).toString(QLatin1String(kStampFormat));
  const QDir dir(folder);
  QString path;
  for (int number = 1; number <= kMaxNumber && path.isEmpty(); ++number) {
    const QString candidate =
        dir.filePath(number == 1 ? stamp + kSuffix : stamp + QLatin1Char('-') + QString::number(number) + kSuffix);
    const QFileInfo info(candidate);
    // A dangling link counts as taken: writing through it would land elsewhere.
    if (!info.exists() && !info.isSymLink()) path = candidate;
  }
  if (path.isEmpty()) {
    error = Located(folder, backup_store_texts::kNoFreeName);
    return false;
  }

  // Written through QSaveFile: complete, or nothing at that name.
  std::string reason;
  if (!shell::QtFileStore().WriteAll(path.toStdString(), copy.fileBytes, reason)) {
    error = Located(path, reason);
    // A folder made for this copy alone goes again (rmdir removes only an empty one).
    if (created) QDir().rmdir(folder);
    return false;
  }
  where = path.toStdString();
  return true;
}

std::vector<KeptCopy> BackupFolderStore::List() const {
  std::vector<KeptCopy> copies;
  if (root_.isEmpty()) return copies;
  static const QRegularExpression kName(
      QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2})(?:-(\\d+))?\\.dat$"),
      QRegularExpression::CaseInsensitiveOption);
  const QDir root(root_);
  shell::QtFileStore files;
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

}  // namespace vemtaro::app
