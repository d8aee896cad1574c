#include "qt_file_store.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>

namespace vemtaro::shell {

bool QtFileStore::ReadAll(const std::string& path, std::string& bytes, std::string& error) {
  const QString name = QString::fromStdString(path);
  if (QFileInfo(name).isDir()) {
    error = "is a directory";
    return false;
  }
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString().toStdString();
    return false;
  }
  bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
  return true;
}

bool QtFileStore::WriteAll(const std::string& path, const std::string& bytes, std::string& error) {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size) {
    error = file.errorString().toStdString();
    file.cancelWriting();
    return false;
  }
  // What is still in the write buffer goes to the disk before the old file is
  // replaced: a failure there (disk full, file size limit) must keep the old file.
  if (!file.flush()) {
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

}  // namespace vemtaro::shell
