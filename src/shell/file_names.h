// File names byte for byte, for the Qt shells (the desktop program and
// vemtaro-sim; vemtaro-cli keeps its arguments the same way).
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

namespace vemtaro::shell {

// File names byte for byte. On Unix a file name is bytes and need not be UTF-8
// (a name from an old Windows archive is Windows-1251): in a QString the
// bytes that are not well-formed UTF-8 are kept as the code points
// U+DC80..U+DCFF, so that the name still reaches the file it names, and
// FileNameBytes gives back the bytes it came from. On Windows names are
// Unicode and these are the plain UTF-8 conversions.
QString FileNameText(std::string_view bytes);
std::string FileNameBytes(const QString& name);
// A file name to show: the bytes that are not UTF-8 become U+FFFD.
QString ShownFileName(const QString& name);
// The file name made absolute against the current folder, as bytes.
std::string AbsoluteFileName(const QString& name);
// Whether the name is that of a regular file (a link to one included).
bool IsRegularFile(const QString& name);

// The program's arguments, the first being the program, with the bytes of
// each as FileNameText keeps them; call after the Q(Core)Application has
// taken its own options out of argc and argv.
QStringList ArgumentsOf(int argc, char** argv);

}  // namespace vemtaro::shell
