// The program's streams and arguments.
//
// Arguments are taken from the system as bytes. On Unix a file name need not be
// UTF-8 (a name from an old Windows archive is Windows-1251); so that it
// reaches the file it names, the bytes that are not UTF-8 travel through the
// argument parser as the code points U+DC80..U+DCFF and become the same bytes
// again in Std().
//
// Standard output is checked: a write, flush or close that fails is kept and
// turns the program's exit code into 3 with the reason (a full disk,
// /dev/full). Messages on standard error are made safe for a terminal.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

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

// Writes to standard output; false (and the failure kept) when it did not go out.
bool PrintOut(const std::string& text);
// Writes a message to standard error, made safe for a terminal.
void PrintErr(const std::string& text);
// Writes to standard error as it is (the progress line with its "\r").
void PrintErrRaw(const std::string& text);
// Whether standard error is a terminal (progress is shown there only), and
// whether standard output is.
bool ErrorIsTerminal();
bool OutputIsTerminal();

// Flushes and closes standard output; when anything written to it failed,
// says so and returns 3, else the command's exit code.
int FinishOutput(int code);

}  // namespace vemtaro::cli
