// The command line's own readers of outside bytes, apart from the streams so
// that they can be tried on their own: the arguments, the text escaping that
// keeps file and controller bytes off the terminal's controls, and the lines of
// a list of settings.
//
// Arguments are taken from the system as bytes. On Unix a file name need not be
// UTF-8 (a name from an old Windows archive is Windows-1251); so that it
// reaches the file it names, the bytes that are not UTF-8 travel through the
// argument parser as the code points U+DC80..U+DCFF and become the same bytes
// again in Std().
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

namespace vemtaro::cli {

// The program's arguments, the first being the program.
QStringList ArgumentsOf(int argc, char** argv);
// A text of the arguments (or of Qt) as the bytes it came from.
std::string Std(const QString& text);

// A text made safe to print on a terminal: control characters (other than a
// line break or a TAB where allowed) and bytes that are not UTF-8 become
// "\xHH", C1 controls "\u0080".."\u009F"; so no escape sequence that a file or
// a controller holds reaches the terminal.
std::string TerminalSafe(std::string_view text, bool keepLineBreaks = true);

// The lines of a text split at each '\n'; one '\r' before a line end (or
// before the end of the text) is dropped. A final line end ends the last line
// and starts no new one; an empty text has no lines.
std::vector<std::string> TextLines(const std::string& text);

}  // namespace vemtaro::cli
