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

namespace vemtaro::shell {

#ifndef Q_OS_WIN
namespace {

// Where a byte that is not UTF-8 is kept in a QString: U+DC00 plus the byte.
constexpr char16_t kKeptByte = 0xDC00;

// The length of the well-formed UTF-8 character at text[i] (no overlong
// forms, no surrogates, nothing above U+10FFFF) and its code point, or 0.
std::size_t Utf8At(std::string_view text, std::size_t i, char32_t& code) {
  const auto b = static_cast<unsigned char>(text[i]);
  if (b < 0x80) {
    code = b;
    return 1;
  }
  std::size_t n = 0;
  char32_t least = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, code = b & 0x1F, least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, code = b & 0x0F, least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, code = b & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (n > text.size() - i) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    code = (code << 6) | (c & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

QString FileNameText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    const std::size_t n = Utf8At(bytes, i, code);
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
