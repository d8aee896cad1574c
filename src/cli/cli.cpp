#include "cli.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <string>

#include "cli_common.h"
#include "device_commands.h"
#include "files/settings_file.h"
#include "json_output.h"
#include "listing/inspect.h"
#include "model/profiles.h"
#include "output.h"
#include "set_command.h"
#include "shell/qt_file_store.h"
#include "window/fresh_configuration.h"

namespace vemtaro::cli {

constexpr const char* kExitCodes =
    "\nExit codes: 0 success, 1 the files differ (diff) or the controller did not\n"
    "answer, refused or failed a check, 2 wrong usage, 3 a file cannot be read,\n"
    "written or parsed, or the output cannot be written, 130 stopped by Ctrl-C.\n";

void Error(const std::string& text) { PrintErr(std::string(kProgram) + ": " + text + "\n"); }

int UsageError(const std::string& text, const std::string& command) {
  Error(text);
  const std::string help =
      command.empty() ? std::string(kProgram) + " --help" : std::string(kProgram) + " " + command + " --help";
  PrintErr("Try '" + help + "'.\n");
  return kUsage;
}

std::string HelpText(const QCommandLineParser& parser, const std::string& usage, const std::string& extra) {
  std::string text = Std(parser.helpText());
  const std::size_t eol = text.find('\n');
  text = "Usage: " + usage + (eol == std::string::npos ? std::string("\n") : text.substr(eol));
  return text + extra + kExitCodes;
}

// "--help-all" adds Qt's own options, which the program does not use; it shows
// the same help as "--help".
bool WantsHelp(const QCommandLineParser& parser, const QCommandLineOption& help) {
  return parser.isSet(help) || parser.isSet(QStringLiteral("help-all"));
}

QStringList CommandArguments(const QStringList& positional) {
  QStringList args{QString::fromUtf8(kProgram)};
  args.append(positional.mid(1));
  return args;
}

std::string ShownPath(const std::string& path) { return path.empty() ? std::string("''") : path; }

std::optional<int> ReadSettings(const std::string& path, std::string& bytes, SettingsFileParse& parsed) {
  shell::QtFileStore store;
  std::string error;
  if (!store.ReadAll(path, bytes, error)) {
    Error(ShownPath(path) + ": cannot read the file: " + error);
    return kFileError;
  }
  parsed = ParseSettingsFile(bytes);
  if (!parsed.data) {
    const SettingsFileError& e = parsed.error;
    Error(path + ": not a readable settings file: field '" + e.field + "' at offset " + std::to_string(e.offset) +
          ": " + e.message);
    return kFileError;
  }
  if (!parsed.data->image) {
    Error(path + ": not a readable settings file: field 'imageLength' at offset " +
          std::to_string(parsed.data->imageLengthOffset) + ": the image length is not a number");
    return kFileError;
  }
  return std::nullopt;
}

std::optional<int> CheckReadable(const std::string& path, std::string* bytesOut, SettingsFileParse* parsedOut) {
  std::string bytes;
  SettingsFileParse parsed;
  if (const auto code = ReadSettings(path, bytes, parsed)) return code;
  if (FindProfile(parsed.data->version) == nullptr) {
    Error(path + ": the file is for firmware version " + std::to_string(parsed.data->version) +
          ", which this program does not support (" + std::to_string(kMinFirmware) + " to " +
          std::to_string(kMaxFirmware) + ")");
    return kFileError;
  }
  if (bytesOut != nullptr) *bytesOut = std::move(bytes);
  if (parsedOut != nullptr) *parsedOut = std::move(parsed);
  return std::nullopt;
}

std::optional<int> RefuseUnlessWhole(const std::string& path, const SettingsFileData& file, int openErrors) {
  if (openErrors != 0) {
    // The desktop program would go on with default values in place of what it
    // could not read; saving them would lose that part of the file.
    Error(path + ": the file opened with errors; nothing was written");
    return kFileError;
  }
  const std::pair<const std::string*, std::size_t> trees[] = {{&file.tree1, file.tree1Offset},
                                                              {&file.tree2, file.tree2Offset}};
  for (std::size_t n = 0; n < 2; ++n) {
    const std::string& text = *trees[n].first;
    const std::size_t zero = text.find('\0');
    if (zero == std::string::npos) continue;
    Error(path + ": the text of tree " + std::to_string(n + 1) + " ends at a zero byte at offset " +
          std::to_string(trees[n].second + zero) + " with " + std::to_string(text.size() - zero - 1) +
          " bytes after it, which a saved file would lose; it is not rewritten, nothing was written");
    return kFileError;
  }
  return std::nullopt;
}

bool CliFileStore::WriteAll(const std::string& path, const std::string& bytes, std::string& error) {
  if (path != "-") return QtFileStore::WriteAll(path, bytes, error);
  if (!PrintOut(bytes)) {
    error = "the standard output cannot be written";
    return false;
  }
  return true;
}

std::optional<int> CheckOutput(const std::string& path) {
  std::string error;
  if (path == "-") {
    if (!OutputIsTerminal()) return std::nullopt;
    Error("-: a settings file is not written to a terminal; redirect the standard output");
    return kFileError;
  }
  if (shell::QtFileStore::CanCreate(path, true, error)) return std::nullopt;
  Error(ShownPath(path) + ": cannot write the file: " + error);
  return kFileError;
}

namespace {

constexpr const char* kCommandList = "new, show, diff, set, read, write, clock, ids, status, relays or ports";

// Reads, parses and decodes a settings file; on failure tells what is wrong and
// where, and returns the exit code.
int Load(const std::string& path, Inspection& out) {
  std::string bytes;
  SettingsFileParse parsed;
  if (const auto code = ReadSettings(path, bytes, parsed)) return *code;
  out = InspectSettingsFile(*parsed.data);
  // A tree text that cannot be read is replaced by the default tree when the
  // file is opened; its default names are shown.
  auto warnTree = [&](int n, const std::optional<TreeTextError>& e, std::size_t section) {
    if (!e) return;
    Error(path + ": warning: the text of tree " + std::to_string(n) + " cannot be read at its line " +
          std::to_string(e->line) + " (offset " + std::to_string(section + e->offset) + "); default names are shown");
  };
  warnTree(1, out.tree1Error, parsed.data->tree1Offset);
  warnTree(2, out.tree2Error, parsed.data->tree2Offset);
  return kSuccess;
}

// ---- new ----------------------------------------------------------------

int RunNew(const QStringList& positional) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Writes the settings file that the desktop program saves right after start-up\n"
      "followed by choosing firmware version N in \"Версия прошивки\", the same as\n"
      "after \"Файл\" -> \"Новая конфигурация\" with version N.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption firmware(QStringList{"f", "firmware"}, "Firmware version, 10 to 15.", "N");
  const QCommandLineOption output(QStringList{"o", "output"}, "The settings file to write.", "OUT.dat");
  parser.addOption(firmware);
  parser.addOption(output);
  if (!parser.parse(CommandArguments(positional))) return UsageError(Std(parser.errorText()), "new");
  if (WantsHelp(parser, help)) {
    PrintOut(HelpText(parser, std::string(kProgram) + " new --firmware N -o OUT.dat"));
    return kSuccess;
  }
  if (!parser.positionalArguments().isEmpty()) {
    return UsageError("new: unexpected argument '" + Std(parser.positionalArguments().first()) + "'", "new");
  }
  if (!parser.isSet(firmware)) return UsageError("new: --firmware is missing", "new");
  if (!parser.isSet(output)) return UsageError("new: -o OUT.dat is missing", "new");
  bool isNumber = false;
  const int version = parser.value(firmware).toInt(&isNumber);
  if (!isNumber || FindProfile(version) == nullptr) {
    return UsageError("new: --firmware must be a version from " + std::to_string(kMinFirmware) + " to " +
                          std::to_string(kMaxFirmware) + ", not '" + Std(parser.value(firmware)) + "'",
                      "new");
  }
  const std::string path = Std(parser.value(output));
  if (const auto code = CheckOutput(path)) return *code;

  std::string error;
  const auto bytes = FreshSettingsFile(version, &error);
  CliFileStore store;
  if (!bytes || !store.WriteAll(path, *bytes, error)) {
    Error(ShownPath(path) + ": cannot write the file: " + error);
    return kFileError;
  }
  return kSuccess;
}

// ---- show ---------------------------------------------------------------

int RunShow(const QStringList& positional) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Lists everything a settings file holds: firmware version, checksum state,\n"
      "every page setting under its control name, the alarm clocks and every\n"
      "reaction of both trees under the names of the file's trees. A value that\n"
      "cannot be decoded is shown as invalid with its image offset.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption json(QStringList{"json"}, "Print one JSON document instead of lines.");
  parser.addOption(json);
  parser.addPositionalArgument("FILE.dat", "The settings file.");
  if (!parser.parse(CommandArguments(positional))) return UsageError(Std(parser.errorText()), "show");
  if (WantsHelp(parser, help)) {
    PrintOut(HelpText(parser, std::string(kProgram) + " show FILE.dat [--json]"));
    return kSuccess;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() != 1) return UsageError("show: expects one settings file", "show");

  Inspection inspection;
  if (const int code = Load(Std(files.first()), inspection); code != kSuccess) return code;
  if (parser.isSet(json)) {
    const QByteArray doc = InspectionJson(inspection);
    PrintOut(std::string(doc.constData(), static_cast<std::size_t>(doc.size())));
    return kSuccess;
  }
  // Node names and texts of the file are shown, never obeyed: a control
  // character in them does not reach the terminal.
  std::string text;
  for (const FlatItem& item : FlattenInspection(inspection)) {
    const std::string value = ValueText(item.value);
    text += TerminalSafe(item.name + ":" + (value.empty() ? "" : " " + value), false) + "\n";
  }
  PrintOut(text);
  return kSuccess;
}

// ---- diff ---------------------------------------------------------------

int RunDiff(const QStringList& positional) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Compares two settings files setting by setting and reaction by reaction.\n"
      "Prints one line per difference: the name, A's value and B's value\n"
      "(name: A -> B). Reactions are matched by their place in the image; a\n"
      "renamed tree node shows both names. The checksum state follows from the\n"
      "other bytes and a write to the controller stores it anew: it is printed\n"
      "as a note (\"note: checksum: differs -> matches\") and is no difference,\n"
      "so a file written and read back compares equal (exit 0). Under version\n"
      "12 the checksum takes the byte of OhrSMS, which is then a note as well.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption checksum("checksum", "Count the notes as differences (exit 1).");
  parser.addOption(checksum);
  parser.addPositionalArgument("A.dat", "The first settings file.");
  parser.addPositionalArgument("B.dat", "The second settings file.");
  if (!parser.parse(CommandArguments(positional))) return UsageError(Std(parser.errorText()), "diff");
  if (WantsHelp(parser, help)) {
    PrintOut(HelpText(parser, std::string(kProgram) + " diff A.dat B.dat [--checksum]"));
    return kSuccess;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() != 2) return UsageError("diff: expects two settings files", "diff");

  Inspection a;
  Inspection b;
  if (const int code = Load(Std(files[0]), a); code != kSuccess) return code;
  if (const int code = Load(Std(files[1]), b); code != kSuccess) return code;
  const bool countChecksum = parser.isSet(checksum);
  bool different = false;
  std::string text;
  for (const auto& d : DiffInspections(a, b)) {
    const bool note = d.note && !countChecksum;
    different = different || !note;
    text += TerminalSafe((note ? "note: " : "") + d.name + ": " + d.a + " -> " + d.b, false) + "\n";
  }
  PrintOut(text);
  return different ? kDifferent : kSuccess;
}

}  // namespace

int Run(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Works with Vemtaro settings files (*.dat) and with the controller on a serial\n"
      "port without the desktop program.");
  // Everything after the command belongs to the command.
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addPositionalArgument("command", "new, show, diff, set, read, write, clock, ids, status, relays or ports.",
                               "<command> [<args>]");
  if (!parser.parse(arguments)) return UsageError(Std(parser.errorText()));
  if (parser.isSet(version)) {
    PrintOut(std::string(kProgram) + " " + main_texts::kVersionText + "\n");
    return kSuccess;
  }
  const QStringList positional = parser.positionalArguments();
  const bool wantsHelp = WantsHelp(parser, help);
  if (positional.isEmpty()) {
    if (wantsHelp) {
      PrintOut(HelpText(parser, std::string(kProgram) + " <command> [<args>]",
                        "\nCommands:\n"
                        "  new   --firmware N -o OUT.dat  Write the settings file of a fresh start\n"
                        "                                 under firmware version N (10..15).\n"
                        "  show  FILE.dat [--json]        List everything a settings file holds.\n"
                        "  diff  A.dat B.dat [--checksum] List the settings and reactions in which\n"
                        "                                 two settings files differ.\n"
                        "  set   FILE.dat NAME=VALUE... [-o OUT.dat]\n"
                        "                                 Change settings and reactions by the names\n"
                        "                                 'show' prints, as the desktop program does.\n"
                        "\nCommands on a controller (each takes --port DEV and --connect-timeout S):\n"
                        "  read   -o OUT.dat              Read the configuration into a settings file.\n"
                        "  write  FILE.dat [--verify]     Write a settings file's configuration.\n"
                        "  clock                          Set the controller's clock to this PC's time.\n"
                        "  ids    [--into FILE.dat]       Ask for the sensor identifiers.\n"
                        "  status [--json]                Ask for the inputs, readings and key code.\n"
                        "  relays PATTERN                 Switch the relays 1..8 (e.g. 10100000).\n"
                        "  ports                          List the serial ports of this computer.\n"
                        "\nRun '" +
                            std::string(kProgram) + " <command> --help' for a command's options.\n"));
      return kSuccess;
    }
    return UsageError(std::string("a command is missing: ") + kCommandList);
  }
  QStringList commandArgs = positional;
  // "vemtaro-cli --help show" asks for the help of show.
  if (wantsHelp) commandArgs.append(QStringLiteral("--help"));
  const QString command = positional.first();
  if (command == QLatin1String("new")) return RunNew(commandArgs);
  if (command == QLatin1String("show")) return RunShow(commandArgs);
  if (command == QLatin1String("diff")) return RunDiff(commandArgs);
  if (command == QLatin1String("set")) return RunSet(commandArgs);
  if (command == QLatin1String("read")) return RunRead(commandArgs);
  if (command == QLatin1String("write")) return RunWrite(commandArgs);
  if (command == QLatin1String("clock")) return RunClock(commandArgs);
  if (command == QLatin1String("ids")) return RunIds(commandArgs);
  if (command == QLatin1String("status")) return RunStatus(commandArgs);
  if (command == QLatin1String("relays")) return RunRelays(commandArgs);
  if (command == QLatin1String("ports")) return RunPorts(commandArgs);
  return UsageError("unknown command '" + Std(command) + "': use " + kCommandList);
}

}  // namespace vemtaro::cli
