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

namespace vemtaro::cli {

inline constexpr const char* kProgram = "vemtaro-cli";

inline std::string Std(const QString& s) { return s.toStdString(); }

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

}  // namespace vemtaro::cli
