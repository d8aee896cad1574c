// What the desktop program sets up before its first window: its name, version
// and icon, Qt's own texts in Russian, and its arguments with the file names
// in them byte for byte.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

class QObject;

namespace vemtaro::app {

// The application's name ("Vemtaro"), version and window icon. No display
// name is set: the window system would append it to every window's title,
// and the titles are exactly the program's captions.
void SetUpApplication();

// Loads and installs Qt's Russian texts (the buttons, labels and questions of
// its file dialogs, message boxes and input dialogs) from Qt's translations
// folder; they stay installed while owner lives. Returns whether Qt's base
// texts were found.
bool LoadQtTranslations(QObject* owner);

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
// each as FileNameText keeps them; call after the QApplication has taken its
// own options out of argc and argv.
QStringList ArgumentsOf(int argc, char** argv);

}  // namespace vemtaro::app
