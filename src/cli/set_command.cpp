#include "set_command.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "cli_common.h"
#include "cli_dialogs.h"
#include "editor/settings_edit.h"
#include "files/settings_file.h"
#include "model/profiles.h"
#include "output.h"
#include "shell/qt_file_store.h"
#include "window/main_model.h"

namespace vemtaro::cli {
namespace {

constexpr const char* kNames =
    "\nNames are those that 'show' prints, and so are the value forms; a line of\n"
    "'show' (NAME: VALUE) is taken as well as NAME=VALUE:\n"
    "  ObjectID, PasswordEdit, AbonentNo1..9, CenterPhone, ID1..16, MasterKey   text\n"
    "                                         (without '*', which fills a text field)\n"
    "  NumOfAttempts, Input1..8, UInput1..8, AInput1..8, UAInput1..8, Rele1..16,\n"
    "  Vihod                                  number, clamped to 0..255\n"
    "  StatusSMS, StatusMessages, Zones, AZones   check items, e.g. [0 1 0 0]\n"
    "  Ohr, OhrSMS                            yes or no\n"
    "  SOURCE/EVENT/relays, CHANNEL/STATE/relays, ALARM/relays   16 of Z, R, N\n"
    "  SOURCE/EVENT/phones, CHANNEL/STATE/phones   9 of N, 1..9\n"
    "  SOURCE/EVENT/sms, CHANNEL/STATE/sms    text of at most 32 characters\n"
    "  CHANNEL/STATE/max, CHANNEL/STATE/min   threshold of at most 4 characters;\n"
    "                                         empty keeps it, a blank empties it\n"
    "  ALARM/time (HH:MM), ALARM/on (yes or no)\n"
    "  .../Реле/K = Z, R or N;  .../Телефоны/K = N or 1..9;  .../SMS = text\n"
    "for example \"Вход 1/Замыкание/Реле/3=Z\" or \"Датчик 2/Выше MAX порога/max=30\".\n"
    "\nEvery value goes through the desktop program's own handler or tree command,\n"
    "in the order given, with its checks and side effects (an emptied AbonentNoK\n"
    "clears the phone slots that select it; Ohr=no resets the arming delay and\n"
    "reshapes the guard entry of the tree). A refused value, a control the file's\n"
    "firmware version disables or hides, or a value in the wrong form exits with\n"
    "3 and writes nothing; an unknown name exits with 2. The file is written\n"
    "atomically.\n";

// Reads the assignments of a --lines file ("-": standard input): one per line,
// blank lines and lines starting with '#' left out.
std::optional<int> ReadLines(const std::string& source, std::vector<SettingAssignment>& out) {
  std::string text;
  if (source == "-") {
    // As much as a file may hold, and one byte more to tell a longer input.
    text.resize(shell::QtFileStore::kMaxReadBytes + 1);
    std::cin.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::cin.gcount()));
    if (text.size() > shell::QtFileStore::kMaxReadBytes) {
      Error("the standard input (--lines -): more than " + std::to_string(shell::QtFileStore::kMaxReadBytes) +
            " bytes; no list of settings is that long");
      return kFileError;
    }
  } else {
    shell::QtFileStore store;
    std::string error;
    if (!store.ReadAll(source, text, error)) {
      Error(ShownPath(source) + ": cannot read the file: " + error);
      return kFileError;
    }
  }
  const std::vector<std::string> lines = TextLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '#') continue;
    const auto assignment = SplitAssignment(line);
    if (!assignment) {
      return UsageError(
          "set: " + source + ": line " + std::to_string(i + 1) + " is not NAME=VALUE or NAME: VALUE: '" + line + "'",
          "set");
    }
    out.push_back(*assignment);
  }
  return std::nullopt;
}

}  // namespace

int RunSet(const QStringList& positional) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Changes settings and reactions of a settings file by name, as the desktop\n"
      "program does when they are edited in its pages and trees, and saves the file\n"
      "(over FILE.dat, or as OUT.dat with -o).");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption output(QStringList{"o", "output"}, "Save as this file; FILE.dat is left as it is.",
                                  "OUT.dat");
  const QCommandLineOption lines(QStringList{"lines"},
                                 "Read more NAME=VALUE (or 'show' lines) from FILE, one per line, before the "
                                 "arguments; '-' reads the standard input. Blank lines and lines starting with "
                                 "'#' are left out.",
                                 "FILE");
  parser.addOption(output);
  parser.addOption(lines);
  parser.addPositionalArgument("FILE.dat", "The settings file.");
  parser.addPositionalArgument("NAME=VALUE", "A setting or reaction and its new value.", "NAME=VALUE...");
  if (!parser.parse(CommandArguments(positional))) return UsageError(Std(parser.errorText()), "set");
  if (WantsHelp(parser, help)) {
    PrintOut(
        HelpText(parser, std::string(kProgram) + " set FILE.dat NAME=VALUE... [-o OUT.dat] [--lines FILE]", kNames));
    return kSuccess;
  }
  const QStringList args = parser.positionalArguments();
  if (args.isEmpty()) return UsageError("set: the settings file FILE.dat is missing", "set");
  if (args.size() == 1 && !parser.isSet(lines)) return UsageError("set: no NAME=VALUE is given", "set");
  const std::string path = Std(args.first());

  std::vector<SettingAssignment> assignments;
  if (parser.isSet(lines)) {
    if (const auto code = ReadLines(Std(parser.value(lines)), assignments)) return *code;
  }
  for (qsizetype i = 1; i < args.size(); ++i) {
    const std::string text = Std(args[i]);
    const auto assignment = SplitAssignment(text);
    if (!assignment) return UsageError("set: '" + text + "' is not NAME=VALUE", "set");
    assignments.push_back(*assignment);
  }

  const std::string target = parser.isSet(output) ? Std(parser.value(output)) : path;
  std::string bytes;
  SettingsFileParse parsed;
  if (const auto code = CheckReadable(path, &bytes, &parsed)) return *code;
  if (const auto code = CheckOutput(target)) return *code;
  CliDialogs shown;
  shown.SetSubject(path);
  EditDialogs dialogs(shown);
  MainModel model(dialogs);
  model.Startup();
  if (!model.OpenSettingsBytes(bytes)) return kFileError;
  if (const auto code = RefuseUnlessWhole(path, *parsed.data, shown.ErrorCount())) return *code;

  const BatchResult result = SetSettings(model, dialogs, assignments);
  for (const std::string& note : result.notes) Error(path + ": warning: " + LineBreaks(note));
  if (!result.ok) {
    const SettingAssignment& failed = assignments[result.failed];
    if (result.failure.status == SettingResult::Status::UnknownName) {
      return UsageError("set: " + LineBreaks(result.failure.message), "set");
    }
    Error(path + ": " + failed.name + ": " + LineBreaks(result.failure.message));
    Error(path + ": nothing was written");
    return kFileError;
  }
  CliFileStore store;
  shown.SetSubject(ShownPath(target));
  return model.SaveSettings(target, store) ? kSuccess : kFileError;
}

}  // namespace vemtaro::cli
