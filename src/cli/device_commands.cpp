#include "device_commands.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli.h"
#include "cli_common.h"
#include "cli_dialogs.h"
#include "device_session.h"
#include "files/settings_file.h"
#include "listing/inspect.h"
#include "model/profiles.h"
#include "output.h"
#include "port/port_list.h"
#include "ports_output.h"
#include "shell/backup_folder_store.h"
#include "shell/qt_file_store.h"
#include "window/backups.h"
#include "window/controller_link.h"
#include "window/main_model.h"

namespace vemtaro::cli {
namespace {

constexpr int kMaxSeconds = 24 * 3600;
// A verification lists at most this many differing bytes one by one.
constexpr std::size_t kMaxListedBytes = 64;

constexpr const char* kConnection =
    "\nThe command opens the port, waits for the controller's \"ATI\" and makes the\n"
    "handshake of the desktop program (\"PC\", the version reply, \"PC_OK\"); the\n"
    "controller's firmware version selects the version profile. The connection\n"
    "ends with \"BYE\". The program's messages are printed on standard error.\n";

// The options every command on the controller takes, and its parsing. A
// command that waits for a reply takes --reply-timeout, `replyDefaultS`
// seconds unless given; 0 for the others.
class DeviceCommand {
 public:
  DeviceCommand(std::string name, std::string usage, const std::string& description, int replyDefaultS)
      : replyTimeoutS(replyDefaultS),
        name_(std::move(name)),
        usage_(std::move(usage)),
        waitsForReply_(replyDefaultS > 0),
        help_(parser.addHelpOption()),
        portOption_(QStringList{"p", "port"}, "The serial port: /dev/ttyUSB0, /dev/pts/3, COM3.", "DEV"),
        connectOption_(
            QStringList{"connect-timeout"},
            "Seconds to wait for the controller to connect (default " + QString::number(kDefaultConnectTimeoutS) + ").",
            "S"),
        replyOption_(QStringList{"reply-timeout"},
                     "Seconds to wait for the controller's reply (default " + QString::number(replyDefaultS) + ").",
                     "S") {
    parser.setApplicationDescription(QString::fromStdString(description));
    parser.addOption(portOption_);
    parser.addOption(connectOption_);
    if (waitsForReply_) parser.addOption(replyOption_);
  }

  int replyTimeoutS;
  QCommandLineParser parser;
  std::string port;
  int connectTimeoutS = kDefaultConnectTimeoutS;

  // Parses the arguments. An exit code when the command ends here: its help
  // was shown, or the usage is wrong.
  std::optional<int> Parse(const QStringList& positional) {
    if (!parser.parse(CommandArguments(positional))) return UsageError(Std(parser.errorText()), name_);
    if (WantsHelp(parser, help_)) {
      PrintOut(HelpText(parser, std::string(kProgram) + " " + usage_, kConnection));
      return kSuccess;
    }
    if (!parser.isSet(portOption_) || parser.value(portOption_).isEmpty()) {
      return UsageError(name_ + ": --port DEV is missing", name_);
    }
    port = Std(parser.value(portOption_));
    if (parser.isSet(connectOption_)) {
      const auto seconds = Seconds(parser.value(connectOption_));
      if (!seconds) return UsageError(name_ + ": --connect-timeout needs whole seconds from 1", name_);
      connectTimeoutS = *seconds;
    }
    if (waitsForReply_ && parser.isSet(replyOption_)) {
      const auto seconds = Seconds(parser.value(replyOption_));
      if (!seconds) return UsageError(name_ + ": --reply-timeout needs whole seconds from 1", name_);
      replyTimeoutS = *seconds;
    }
    return std::nullopt;
  }

  // Exactly `count` positional arguments, else a usage error.
  std::optional<int> ExpectArguments(int count, const std::string& what) {
    const QStringList args = parser.positionalArguments();
    if (args.size() == count) return std::nullopt;
    if (args.size() > count) return UsageError(name_ + ": unexpected argument '" + Std(args[count]) + "'", name_);
    return UsageError(name_ + ": " + what + " is missing", name_);
  }

 private:
  static std::optional<int> Seconds(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > kMaxSeconds) return std::nullopt;
    return value;
  }

  std::string name_;
  std::string usage_;
  bool waitsForReply_;
  QCommandLineOption help_;
  QCommandLineOption portOption_;
  QCommandLineOption connectOption_;
  QCommandLineOption replyOption_;
};

// A settings file that is to be opened on the connection: read and checked
// before the port is touched, so that a file problem sends nothing.
struct CheckedFile {
  std::string path;
  int version = 0;
};

// Dialogs of the trial opening: messages are kept and printed only when the
// file is refused (the real opening shows them again).
class KeptDialogs : public SilentDialogs {
 public:
  void ShowMessage(const std::string& text) override { texts.push_back(text); }
  void ShowError(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

// Reads the file and opens it in a model of its own; the exit code when it
// cannot be used. A file that the command rewrites must open without any
// error and with both trees read whole, or what could not be read would be
// replaced by defaults in it.
std::optional<int> CheckSettingsFile(const std::string& path, CheckedFile& out, bool rewrites) {
  std::string bytes;
  std::string error;
  SettingsFileParse parsed;
  if (const auto code = CheckReadable(path, &bytes, &parsed)) return code;
  KeptDialogs dialogs;
  MainModel trial(dialogs);
  trial.Startup();
  if (!trial.OpenSettingsBytes(bytes, &error)) {
    for (const std::string& text : dialogs.texts) Error(path + ": " + LineBreaks(text));
    Error(path + ": the file cannot be opened" + (error.empty() ? std::string() : ": " + error));
    return kFileError;
  }
  if (rewrites) {
    for (const std::string& text : dialogs.texts) Error(path + ": " + LineBreaks(text));
    if (const auto code = RefuseUnlessWhole(path, *parsed.data, static_cast<int>(dialogs.texts.size()))) return code;
  }
  out.path = path;
  out.version = parsed.data->version;
  return std::nullopt;
}

// The file must be for the controller's firmware version: nothing is sent
// otherwise. Opens it into the model (after the handshake, whose profile
// selection would reset the image). The exit code when it cannot go on.
std::optional<int> OpenForController(DeviceSession& session, const CheckedFile& file) {
  const int controller = session.link().ReportedVersion().value_or(0);
  if (file.version != controller) {
    Error(file.path + ": the file is for firmware version " + std::to_string(file.version) + ", the controller on " +
          session.portName() + " has version " + std::to_string(controller) + " (\"" + session.link().VersionText() +
          "\"); nothing was sent");
    return kFailed;
  }
  shell::QtFileStore store;
  if (!session.model().OpenSettings(file.path, store)) return kFileError;
  return std::nullopt;
}

// What a connection that was not made leaves: the exit code.
int NotConnected(DeviceSession& session) {
  return session.Interrupted() ? session.StopAfterInterrupt("nothing was sent") : kFailed;
}

// A reply the link waits for with a time-out of its own: the matcher that
// takes it gives up silently after `seconds` s.
struct LinkReplyWait {
  const TApdDataPacket* matcher = nullptr;
  int seconds = 0;
};

// Runs an exchange and waits for its outcome. kSuccess, kFailed when it
// failed (its message has been shown), or when no outcome came in time or the
// link gave up waiting for the reply; after Ctrl-C, SIGTERM or SIGHUP the
// exchange is stopped and `whenStopped` is said (128 + the signal).
int RunExchange(DeviceSession& session, const std::function<void()>& start,
                const std::function<std::optional<bool>()>& outcome, qint64 timeoutMs, const std::string& what,
                const std::string& whenStopped, LinkReplyWait linkWait = {}) {
  start();
  const auto gaveUp = [&] { return linkWait.matcher != nullptr && !linkWait.matcher->Enabled() && !outcome(); };
  session.WaitFor([&] { return outcome().has_value() || gaveUp(); }, timeoutMs);
  if (session.Interrupted() && !outcome()) return session.StopAfterInterrupt(whenStopped);
  if (const auto result = outcome()) return *result ? kSuccess : kFailed;
  if (session.Lost()) return kFailed;
  if (session.link().Phase() == ControllerLink::TransferPhase::Write) {
    // Given up in the middle of the image: part of it may be in the controller.
    session.link().StopTransfer();
    Error(session.portName() + ": " + LineBreaks(link_texts::kMayBeIncomplete));
  }
  session.ReportNoAnswer(what, gaveUp() ? linkWait.seconds : static_cast<int>(timeoutMs / 1000));
  return kFailed;
}

// Saves the model's configuration as the desktop program's "Сохранить" does.
int SaveModel(DeviceSession& session, const std::string& path) {
  CliFileStore store;
  session.dialogs().SetSubject(ShownPath(path));
  return session.model().SaveSettings(path, store) ? kSuccess : kFileError;
}

std::string Hex(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// Lists how the image read back differs from the one written: byte by byte,
// then as the settings and reactions they decode to. Whether any differ.
bool ListDifferences(const std::string& port, const std::string& writtenFile, const Bytes& written, const Bytes& read) {
  std::string text;
  std::size_t differing = 0;
  const std::size_t length = std::max(written.size(), read.size());
  for (std::size_t i = 0; i < length; ++i) {
    const bool inWritten = i < written.size();
    const bool inRead = i < read.size();
    if (inWritten && inRead && written[i] == read[i]) continue;
    if (++differing > kMaxListedBytes) continue;
    text += "image[" + std::to_string(i) + "]: " + (inWritten ? Hex(written[i]) : "(absent)") + " -> " +
            (inRead ? Hex(read[i]) : "(absent)") + "\n";
  }
  if (differing == 0) return false;
  if (differing > kMaxListedBytes) {
    text += "... " + std::to_string(differing - kMaxListedBytes) + " more bytes differ\n";
  }
  const SettingsFileParse parsed = ParseSettingsFile(writtenFile);
  if (parsed.data) {
    SettingsFileData readData = *parsed.data;
    readData.image = read;
    for (const auto& d : DiffInspections(InspectSettingsFile(*parsed.data), InspectSettingsFile(readData))) {
      // The bytes themselves are listed above already.
      if (d.imageBytes) continue;
      text += d.name + ": " + d.a + " -> " + d.b + "\n";
    }
  }
  PrintOut(TerminalSafe(text));
  Error(port + ": verify: " + std::to_string(differing) + (differing == 1 ? " byte" : " bytes") +
        " of the configuration read back " + (differing == 1 ? "differs" : "differ") + " from what was written");
  return true;
}

}  // namespace

// ---- read -----------------------------------------------------------------

int RunRead(const QStringList& positional) {
  DeviceCommand command("read", "read --port DEV -o OUT.dat [--connect-timeout S]",
                        "Reads the controller's configuration (\"Загрузить конфигурацию из контроллера\")\n"
                        "and saves it as the settings file the desktop program saves after it. When\n"
                        "anything fails no file is written and an existing OUT.dat is left as it is.",
                        0);
  const QCommandLineOption output(QStringList{"o", "output"}, "The settings file to write.", "OUT.dat");
  command.parser.addOption(output);
  if (const auto code = command.Parse(positional)) return *code;
  if (const auto code = command.ExpectArguments(0, "")) return *code;
  if (!command.parser.isSet(output) || command.parser.value(output).isEmpty()) {
    return UsageError("read: -o OUT.dat is missing", "read");
  }
  const std::string path = Std(command.parser.value(output));
  // The file must be possible before the port is opened: nothing is read for
  // an output that cannot be made.
  if (const auto code = CheckOutput(path)) return *code;

  DeviceSession session;
  if (!session.Connect(command.port, command.connectTimeoutS)) return NotConnected(session);
  ControllerLink& link = session.link();
  const int code = RunExchange(
      session, [&] { link.N14Click(); }, [&] { return link.loadResult; }, kTransferBoundMs, "configuration",
      "no file was written");
  session.End();
  if (code != kSuccess) return code;
  if (const int saved = SaveModel(session, path); saved != kSuccess) return saved;
  PrintErr("read " + std::to_string(session.model().ws.working.size()) + " bytes from " + session.portName() +
           " into " + (path == "-" ? std::string("the standard output") : path) + ", v" +
           std::to_string(session.model().ws.FirmwareVersion) + "\n");
  return kSuccess;
}

// ---- write ----------------------------------------------------------------

namespace {

// The copy of the controller's configuration that `write --backup` keeps: the
// file the user named, made new at the moment the copy is written (a file or
// link that appeared there since the check is left alone and nothing is
// written to the controller), private, whole or not at all.
class FileBackup : public BackupStore {
 public:
  explicit FileBackup(std::string path) : path_(std::move(path)) {}
  bool Keep(const BackupCopy& copy, std::string& where, std::string& error) override {
    if (!shell::QtFileStore::WriteNew(path_, copy.fileBytes, error)) {
      error = ShownPath(path_) + ": " + error;
      if (error.ends_with(shell::QtFileStore::kExists)) error += "; a backup never replaces a file";
      return false;
    }
    where = path_;
    return true;
  }

 private:
  std::string path_;
};

// Says where the copy went as soon as it is kept: before the write starts, so
// that a write that then fails or is stopped has said where the controller's
// old configuration is.
class ReportedBackup : public BackupStore {
 public:
  explicit ReportedBackup(BackupStore& store) : store_(store) {}
  bool Keep(const BackupCopy& copy, std::string& where, std::string& error) override {
    if (!store_.Keep(copy, where, error)) return false;
    // On a terminal the progress line is cleared first; it is drawn again below.
    if (ErrorIsTerminal()) PrintErrRaw("\r\x1b[K");
    PrintErr("the controller's configuration was kept in " + where + "\n");
    return true;
  }

 private:
  BackupStore& store_;
};

// A backup file must be new, in a folder that exists: checked before the port
// is opened, so that nothing is read or written for a copy that cannot be kept.
std::optional<int> CheckBackupPath(const std::string& path) {
  std::string error;
  if (shell::QtFileStore::CanCreate(path, false, error)) return std::nullopt;
  if (error == shell::QtFileStore::kExists) error += "; a backup never replaces a file, name a new one";
  Error(ShownPath(path) + ": cannot create the backup file: " + error);
  return kFileError;
}

constexpr const char* kWriteUsage =
    "write FILE.dat --port DEV [--no-verify] [--backup COPY.dat | --no-backup] [--connect-timeout S]";

}  // namespace

int RunWrite(const QStringList& positional) {
  DeviceCommand command("write", kWriteUsage,
                        "Writes the configuration of a settings file to the controller (\"Передать\n"
                        "конфигурацию в контроллер\"). The file must be for the controller's firmware\n"
                        "version; otherwise nothing is sent. The configuration is then read back and\n"
                        "compared with what was sent: only a configuration read back unchanged counts\n"
                        "as written. When they differ, every difference is listed (the image bytes,\n"
                        "then the settings and reactions they decode to) and the exit code is 1.\n"
                        "Before the write the controller's configuration is read and kept as a backup\n"
                        "copy where the desktop program keeps its copies, which its \"Резервные копии…\"\n"
                        "lists: <data folder>/Vemtaro/backups/OBJECT/yyyy-MM-dd_HH-mm-ss.dat, readable\n"
                        "by the user alone; the path is printed. With --backup the copy is a new file\n"
                        "of that name instead; --no-backup skips it. If the copy cannot be kept (no\n"
                        "home folder, say), nothing is written.",
                        0);
  const QCommandLineOption verify(QStringList{"verify"}, "Read the configuration back and compare (the default).");
  const QCommandLineOption noVerify(QStringList{"no-verify"}, "Do not read the configuration back.");
  const QCommandLineOption backup(QStringList{"backup"},
                                  "Keep the controller's configuration in this new file instead.", "COPY.dat");
  const QCommandLineOption noBackup(QStringList{"no-backup"}, "Do not read and keep the controller's configuration.");
  command.parser.addOption(verify);
  command.parser.addOption(noVerify);
  command.parser.addOption(backup);
  command.parser.addOption(noBackup);
  command.parser.addPositionalArgument("FILE.dat", "The settings file to write.");
  if (const auto code = command.Parse(positional)) return *code;
  if (const auto code = command.ExpectArguments(1, "the settings file FILE.dat")) return *code;
  if (command.parser.isSet(verify) && command.parser.isSet(noVerify)) {
    return UsageError("write: --verify and --no-verify cannot be used together", "write");
  }
  CheckedFile file;
  if (const auto code = CheckSettingsFile(Std(command.parser.positionalArguments().first()), file, false)) {
    return *code;
  }
  if (command.parser.isSet(backup) && command.parser.isSet(noBackup)) {
    return UsageError("write: --backup and --no-backup cannot be used together", "write");
  }
  std::optional<FileBackup> copy;
  std::optional<shell::BackupFolderStore> kept;
  if (command.parser.isSet(backup)) {
    const std::string path = Std(command.parser.value(backup));
    if (path.empty()) return UsageError("write: --backup needs a file name", "write");
    if (const auto code = CheckBackupPath(path)) return *code;
    copy.emplace(path);
  } else if (!command.parser.isSet(noBackup)) {
    kept.emplace();
  }

  DeviceSession session;
  if (!session.Connect(command.port, command.connectTimeoutS)) return NotConnected(session);
  if (const auto code = OpenForController(session, file)) return *code;
  ControllerLink& link = session.link();
  link.verifyAfterWrite = !command.parser.isSet(noVerify);
  std::optional<ReportedBackup> reported;
  if (copy) reported.emplace(*copy);
  if (kept) reported.emplace(*kept);
  link.backups = reported ? &*reported : nullptr;
  const int code = RunExchange(
      session, [&] { link.N15Click(); }, [&] { return link.saveResult; }, kTransferBoundMs, "write",
      "nothing was written to the controller");
  session.End();
  const ControllerLink::WriteReport& report = link.LastWrite();
  if (report.firstDifference && report.sent && report.readBack) {
    const std::string writtenFile = session.model().SettingsFileBytes().value_or(std::string());
    ListDifferences(session.portName(), writtenFile, *report.sent, *report.readBack);
  }
  if (code == kSuccess) {
    PrintErr("wrote " + std::to_string(report.sent ? report.sent->size() : 0) + " bytes from " + file.path + " to " +
             session.portName() + ", v" + std::to_string(file.version) +
             (link.verifyAfterWrite ? ", read back and compared" : ", not read back") + "\n");
  }
  return code;
}

// ---- clock ----------------------------------------------------------------

int RunClock(const QStringList& positional) {
  DeviceCommand command("clock", "clock --port DEV [--connect-timeout S] [--reply-timeout S]",
                        "Sets the controller's clock to this computer's local time (\"Установить\n"
                        "системные часы контроллера\") and prints the time the controller then reports.",
                        kClockReplyTimeoutS);
  if (const auto code = command.Parse(positional)) return *code;
  if (const auto code = command.ExpectArguments(0, "")) return *code;

  DeviceSession session;
  if (!session.Connect(command.port, command.connectTimeoutS)) return NotConnected(session);
  ControllerLink& link = session.link();
  const int code = RunExchange(
      session, [&] { link.N16Click(); }, [&] { return link.timeResult; },
      static_cast<qint64>(command.replyTimeoutS) * 1000, "clock reply", "the clock may have been set",
      {&link.matchers().TimeIn, kClockReplyTimeoutS});
  session.End();
  if (code == kSuccess) PrintOut(TerminalSafe(link.ClockReply() + "\n"));
  return code;
}

// ---- ids ------------------------------------------------------------------

int RunIds(const QStringList& positional) {
  DeviceCommand command("ids", "ids --port DEV [--into FILE.dat] [--connect-timeout S] [--reply-timeout S]",
                        "Asks the controller for the identifiers of the sensors it has found (\"Запрос\n"
                        "ID датчиков\") and prints them as ID1 to ID16, empty where no sensor is. With\n"
                        "--into the identifiers are stored into the settings file as the desktop\n"
                        "program stores them after opening it; the file must be for the controller's\n"
                        "firmware version.",
                        kIdsReplyTimeoutS);
  const QCommandLineOption into(QStringList{"into"}, "Store the identifiers into this settings file.", "FILE.dat");
  command.parser.addOption(into);
  if (const auto code = command.Parse(positional)) return *code;
  if (const auto code = command.ExpectArguments(0, "")) return *code;
  std::optional<CheckedFile> file;
  if (command.parser.isSet(into)) {
    file.emplace();
    if (const auto code = CheckSettingsFile(Std(command.parser.value(into)), *file, true)) return *code;
  }

  DeviceSession session;
  if (!session.Connect(command.port, command.connectTimeoutS)) return NotConnected(session);
  if (file) {
    if (const auto code = OpenForController(session, *file)) return *code;
  }
  ControllerLink& link = session.link();
  const int code = RunExchange(
      session, [&] { link.ID17Click(); }, [&] { return link.idsResult; },
      static_cast<qint64>(command.replyTimeoutS) * 1000, "identifiers", "no file was written",
      {&link.matchers().IDReciev, kIdsReplyTimeoutS});
  session.End();
  if (code != kSuccess) return code;
  std::string text;
  const auto& ids = session.model().pages.ID;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    text += ids[k].name + ":" + (ids[k].text.empty() ? "" : " " + ids[k].text) + "\n";
  }
  PrintOut(TerminalSafe(text));
  return file ? SaveModel(session, file->path) : kSuccess;
}

// ---- status ---------------------------------------------------------------

int RunStatus(const QStringList& positional) {
  DeviceCommand command("status", "status --port DEV [--json] [--connect-timeout S] [--reply-timeout S]",
                        "Asks the controller for its state (\"Запрос состояния\" of the window\n"
                        "\"Управление\") and prints the contact inputs 1..8, the readings of the\n"
                        "analogue inputs and of the sensors 1..8 and the Touch Memory key code.",
                        kStatusReplyTimeoutS);
  const QCommandLineOption json(QStringList{"json"},
                                "Print one JSON document: inputs (8 bools, input 1 first), analog and\n"
                                "sensors (8 texts each), key (text).");
  command.parser.addOption(json);
  if (const auto code = command.Parse(positional)) return *code;
  if (const auto code = command.ExpectArguments(0, "")) return *code;

  DeviceSession session;
  if (!session.Connect(command.port, command.connectTimeoutS)) return NotConnected(session);
  ControllerLink& link = session.link();
  const int code = RunExchange(
      session, [&] { link.Button1Click(); }, [&] { return link.statusResult; },
      static_cast<qint64>(command.replyTimeoutS) * 1000, "status", "nothing was changed",
      {&link.matchers().GetStatus, static_cast<int>(link_timing::kStatusTicks * kTickMs / 1000)});
  session.End();
  if (code != kSuccess) return code;
  const StatusWindowModel& form5 = link.form5;
  if (command.parser.isSet(json)) {
    QJsonArray inputs;
    QJsonArray analog;
    QJsonArray sensors;
    for (std::size_t k = 0; k < 8; ++k) {
      inputs.append(form5.Inputs[k]);
      analog.append(QString::fromStdString(form5.ACP[k]));
      sensors.append(QString::fromStdString(form5.Dat[k]));
    }
    const QJsonObject root{
        {"inputs", inputs}, {"analog", analog}, {"sensors", sensors}, {"key", QString::fromStdString(form5.TM)}};
    const QByteArray doc = QJsonDocument(root).toJson(QJsonDocument::Indented);
    PrintOut(std::string(doc.constData(), static_cast<std::size_t>(doc.size())));
    return kSuccess;
  }
  // The labels of the status window.
  std::string text = "Входы:";
  for (const bool on : form5.Inputs) text += on ? " 1" : " 0";
  text += "\n";
  auto line = [&text](const std::string& label, const std::string& value) {
    text += label + ":" + (value.empty() ? "" : " " + value) + "\n";
  };
  for (std::size_t k = 0; k < 8; ++k) line("АЦП " + std::to_string(k + 1), form5.ACP[k]);
  for (std::size_t k = 0; k < 8; ++k) line("Датчик " + std::to_string(k + 1), form5.Dat[k]);
  line("Ключ TouchMemory", form5.TM);
  PrintOut(TerminalSafe(text));
  return kSuccess;
}

// ---- relays ---------------------------------------------------------------

int RunRelays(const QStringList& positional) {
  DeviceCommand command("relays", "relays PATTERN --port DEV [--connect-timeout S]",
                        "Switches the relays as the check boxes \"Управление реле\" of the window\n"
                        "\"Управление\" do: PATTERN is eight characters 0 (off) or 1 (on), relay 1\n"
                        "first. The whole pattern goes to the controller in one relay command.",
                        0);
  command.parser.addPositionalArgument("PATTERN", "Eight characters 0 or 1, relay 1 first.");
  if (const auto code = command.Parse(positional)) return *code;
  if (const auto code = command.ExpectArguments(1, "the relay pattern")) return *code;
  const std::string pattern = Std(command.parser.positionalArguments().first());
  if (pattern.size() != 8 || pattern.find_first_not_of("01") != std::string::npos) {
    return UsageError("relays: PATTERN must be eight characters 0 or 1, not '" + pattern + "'", "relays");
  }

  DeviceSession session;
  if (!session.Connect(command.port, command.connectTimeoutS)) return NotConnected(session);
  ControllerLink& link = session.link();
  // Relays 1..7 take their states in the window; the change of relay 8 sends
  // the whole pattern once.
  for (std::size_t k = 0; k + 1 < pattern.size(); ++k) link.form5.Releys[k] = pattern[k] == '1';
  const int errorsBefore = session.dialogs().ErrorCount();
  link.ReleysChange(7, pattern[7] == '1');
  const bool sent = session.dialogs().ErrorCount() == errorsBefore && !session.Lost();
  session.End();
  return sent ? kSuccess : kFailed;
}

// ---- ports ----------------------------------------------------------------

int RunPorts(const QStringList& positional) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Lists the serial ports of this computer as the port menu of the desktop\n"
      "program lists them, one a line; ports held by another program are listed too.\n"
      "After the name comes what the system tells of the device: its description,\n"
      "its manufacturer and its serial number, so that adapters of one kind can be\n"
      "told apart (\"/dev/ttyUSB0 — FT232R USB UART, FTDI, S/N A50285BI\").");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption json("json",
                                "Print a JSON array of {name, description, manufacturer, serialNumber, "
                                "caption}, \"\" where the system gives nothing.");
  parser.addOption(json);
  if (!parser.parse(CommandArguments(positional))) return UsageError(Std(parser.errorText()), "ports");
  if (WantsHelp(parser, help)) {
    PrintOut(HelpText(parser, std::string(kProgram) + " ports [--json]"));
    return kSuccess;
  }
  if (!parser.positionalArguments().isEmpty()) {
    return UsageError("ports: unexpected argument '" + Std(parser.positionalArguments().first()) + "'", "ports");
  }
  const QList<port::PortEntry> ports = port::AvailablePortEntries();
  if (parser.isSet(json)) {
    const QByteArray doc = PortsJson(ports);
    PrintOut(std::string(doc.constData(), static_cast<std::size_t>(doc.size())));
    return kSuccess;
  }
  PrintOut(TerminalSafe(PortsText(ports)));
  return kSuccess;
}

}  // namespace vemtaro::cli
