// Helpers shared by the commands of vemtaro-cli: messages, usage errors, the
// help text and the command's own argument list.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "files/settings_file.h"
#include "output.h"
#include "shell/qt_file_store.h"

namespace vemtaro::cli {

inline constexpr const char* kProgram = "vemtaro-cli";

// "vemtaro-cli: text" on the standard error stream.
void Error(const std::string& text);
// Reports wrong usage with a hint at the command's help; returns kUsage.
int UsageError(const std::string& text, const std::string& command = {});
// The parser's help with the usage line of the command, the extra text and the
// exit codes.
std::string HelpText(const QCommandLineParser& parser, const std::string& usage, const std::string& extra = {});
// "--help" or "--help-all".
bool WantsHelp(const QCommandLineParser& parser, const QCommandLineOption& help);
// The command's own arguments, after the program and the command name.
QStringList CommandArguments(const QStringList& positional);
// Reads and parses a settings file whose image section is present; reports
// what is wrong (field and offset) and returns the exit code otherwise.
std::optional<int> ReadSettings(const std::string& path, std::string& bytes, SettingsFileParse& parsed);
// Reads a settings file and checks it far enough to be opened: readable, its
// image section present, a firmware version this program knows. Reports what
// is wrong and returns the exit code; otherwise fills bytes and parsed.
std::optional<int> CheckReadable(const std::string& path, std::string* bytes = nullptr,
                                 SettingsFileParse* parsed = nullptr);
// A file that a command rewrites must have opened without any error box
// (`openErrors`) and with both tree texts read whole: a tree text cut short by
// a zero byte would lose what follows it. Reports why not and returns 3.
std::optional<int> RefuseUnlessWhole(const std::string& path, const SettingsFileData& file, int openErrors);

// A file name as messages show it ('' for an empty one).
std::string ShownPath(const std::string& path);

// The file store of the commands: "-" as a file to write is the standard
// output, which must not be a terminal.
class CliFileStore : public shell::QtFileStore {
 public:
  bool WriteAll(const std::string& path, const std::string& bytes, std::string& error) override;
};
// Whether a settings file can be written as `path` ("-": the standard output):
// checked before the work that would make it. Reports why not and returns 3.
std::optional<int> CheckOutput(const std::string& path);

}  // namespace vemtaro::cli
