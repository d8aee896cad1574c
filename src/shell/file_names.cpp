#include "file_names.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>
#endif

#include "model/utf8.h"

namespace vemtaro::shell {

#ifndef Q_OS_WIN
namespace {

// Where a byte that is not UTF-8 is kept in a QString: U+DC00 plus the byte.
constexpr char16_t kKeptByte = 0xDC00;

}  // namespace

QString FileNameText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    const std::size_t n = utf8::CharacterAt(bytes, i, code);
    if (n == 0) {
      text += QChar(static_cast<char16_t>(kKeptByte + static_cast<unsigned char>(bytes[i])));
      ++i;
      continue;
    }
    text += QString::fromUcs4(&code, 1);
    i += n;
  }
  return text;
}

std::string FileNameBytes(const QString& name) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(name.size()));
  qsizetype from = 0;
  const auto flush = [&](qsizetype to) {
    if (to > from) bytes += name.mid(from, to - from).toStdString();
  };
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t u = name[i].unicode();
    if (u >= kKeptByte + 0x80 && u <= kKeptByte + 0xFF) {
      flush(i);
      bytes += static_cast<char>(u - kKeptByte);
      from = i + 1;
    }
  }
  flush(name.size());
  return bytes;
}

std::string AbsoluteFileName(const QString& name) {
  std::string bytes = FileNameBytes(name);
  if (bytes.empty() || bytes.front() == '/') return bytes;
  std::vector<char> folder(4096);
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE || folder.size() >= (std::size_t{1} << 20)) return bytes;
    folder.resize(folder.size() * 2);
  }
  std::string absolute = folder.data();
  if (absolute.empty() || absolute.back() != '/') absolute += '/';
  return absolute + bytes;
}

bool IsRegularFile(const QString& name) {
  const std::string bytes = FileNameBytes(name);
  struct stat st {};
  return !bytes.empty() && ::stat(bytes.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int a = 0; a < argc; ++a) arguments.append(FileNameText(argv[a]));
  return arguments;
}

#else  // Windows: names are Unicode, and Qt takes the command line as it is.

QString FileNameText(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string FileNameBytes(const QString& name) { return name.toStdString(); }

std::string AbsoluteFileName(const QString& name) { return QFileInfo(name).absoluteFilePath().toStdString(); }

bool IsRegularFile(const QString& name) { return QFileInfo(name).isFile(); }

QStringList ArgumentsOf(int, char**) { return QCoreApplication::arguments(); }

#endif

QString ShownFileName(const QString& name) { return QString::fromStdString(FileNameBytes(name)); }

}  // namespace vemtaro::shell
