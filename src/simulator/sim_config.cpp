#include "sim_config.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <limits>
#include <map>

#include "files/settings_file.h"
#include "link/wire.h"
#include "model/dialogs.h"
#include "model/profiles.h"
#include "shell/file_names.h"
#include "window/main_model.h"

namespace vemtaro::simulator {
namespace {

constexpr std::int64_t kPtyGapToleranceMs = 2;

bool KnownVersion(int version) { return version >= kMinFirmware && version <= kMaxFirmware; }

// A whole decimal number in [low, high], or nothing.
std::optional<long long> NumberIn(const QString& text, long long low, long long high) {
  bool ok = false;
  const long long value = text.trimmed().toLongLong(&ok, 10);
  if (!ok || value < low || value > high) return std::nullopt;
  return value;
}

// The version the PC reads from characters 10..12 of the version text.
std::optional<int> VersionInText(const std::string& text) {
  if (text.size() < 12) return std::nullopt;
  const auto value = NumberIn(QString::fromLatin1(text.substr(9, 3)), kMinFirmware, kMaxFirmware);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

DefaultConfiguration MakeDefaultConfiguration(int version) {
  SilentDialogs dialogs;
  MainModel model(dialogs);
  model.Startup();
  model.ApplyProfile(version);
  DefaultConfiguration result;
  result.image = model.ws.working.bytes();
  // The tree texts as the tool writes them into a settings file.
  if (const auto file = model.SettingsFileBytes()) {
    const SettingsFileParse parse = ParseSettingsFile(*file);
    if (parse.data) {
      result.tree1 = parse.data->tree1;
      result.tree2 = parse.data->tree2;
    }
  }
  return result;
}

}  // namespace

std::optional<DefaultConfiguration> DefaultConfigurationOf(int version) {
  if (!KnownVersion(version)) return std::nullopt;
  // Made once per version: a start of the tool is the costly part of reading
  // a command line without --image.
  static std::map<int, DefaultConfiguration> made;
  auto it = made.find(version);
  if (it == made.end()) it = made.emplace(version, MakeDefaultConfiguration(version)).first;
  return it->second;
}

ConfigResult ParseSimArguments(const QStringList& arguments, FileStore& files) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Simulated alarm controller on a pseudo-terminal. Prints the terminal's path "
      "on the first line, then serves until SIGINT or SIGTERM. Exit codes: 0 stopped, "
      "1 the terminal or the --save file failed, 2 wrong usage or an --image file that cannot be read, "
      "3 protocol violations (--strict).");
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption firmware("firmware", "Firmware version 10..15 (default 15).", "N");
  const QCommandLineOption versionText(
      "version-text", "Whole text after \"Ver.\"; the version is read from its characters 10..12.", "TEXT");
  const QCommandLineOption image(
      "image", "Settings file (*.dat) whose image the controller holds: a regular file of at most 1 MiB.", "FILE");
  const QCommandLineOption save(
      "save", "Write the held image as a settings file at exit; the file is replaced only when the new one is whole.",
      "FILE");
  const QCommandLineOption paced("paced", "Send at the pace of 9600 bit/s.");
  const QCommandLineOption probeInterval("probe-interval", "Period of the \"ATI\" probes in ms (default 1000).", "MS");
  const QCommandLineOption replyDelay("reply-delay", "Delay before each answer in ms (default 0).", "MS");
  const QCommandLineOption noLoadOk("no-load-ok", "Ignore \"LOAD\": send no image.");
  const QCommandLineOption badChecksum("bad-checksum", "Deliver the image with a wrong checksum.");
  const QCommandLineOption shortImage("short-image", "Deliver only the first N image bytes.", "N");
  const QCommandLineOption silent("silent", "Send nothing at all.");
  const QCommandLineOption garbage("garbage", "Replace every sent byte by a pseudo-random one from SEED.", "SEED");
  const QCommandLineOption dropAck("drop-ack", "While writing, take image byte K as not received.", "K");
  const QCommandLineOption dropCount("drop-count", "How many times in a row --drop-ack drops byte K (default 1).", "N");
  const QCommandLineOption lateAck("late-ack", "While writing, answer image byte K late (see --late-ms).", "K");
  const QCommandLineOption lateMs("late-ms", "How late the answer of --late-ack comes, in ms.", "MS");
  const QCommandLineOption noFinalSaveOk("no-final-save-ok", "Omit the final \"SAVE_OK\" of a write.");
  const QCommandLineOption hangUp("hang-up", "Stop answering for good from image byte K of a transfer.", "K");
  const QCommandLineOption saveOkDelay("save-ok-delay",
                                       "Send the final \"SAVE_OK\" of a write MS ms after the end of the image "
                                       "(default 0).",
                                       "MS");
  const QCommandLineOption keepProbing("keep-probing", "Go on sending \"ATI\" until \"PC_OK\" comes.");
  const QCommandLineOption strict(
      "strict",
      "Check the PC's side of the protocol: print every violation on standard error at once, and at exit "
      "how many there were; exit with 3 when there was any. A read delivers the image as it was written; "
      "the image held at start gets a matching checksum byte.");
  const QCommandLineOption gapTolerance(
      "gap-tolerance",
      "With --strict, below version 12: how far ahead of the schedule of 5 ms pauses after the bytes before it a "
      "byte may arrive (0..5, default 2; 0 checks every pause on its own, which only exact times allow).",
      "MS");
  parser.addOptions({firmware,      versionText, image,       save,        paced,   probeInterval, replyDelay, noLoadOk,
                     badChecksum,   shortImage,  silent,      garbage,     dropAck, dropCount,     lateAck,    lateMs,
                     noFinalSaveOk, hangUp,      saveOkDelay, keepProbing, strict,  gapTolerance});

  ConfigResult result;
  if (!parser.parse(arguments)) {
    result.error = parser.errorText().toStdString();
    return result;
  }
  if (parser.isSet(helpOption)) {
    std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
    result.helpShown = true;
    return result;
  }
  if (!parser.positionalArguments().isEmpty()) {
    result.error = "unexpected argument: " + parser.positionalArguments().first().toStdString();
    return result;
  }

  constexpr long long kMaxMs = 24LL * 3600 * 1000;
  constexpr long long kMaxCount = std::numeric_limits<int>::max();
  bool failed = false;
  const auto number = [&](const QCommandLineOption& option, long long low, long long high) -> long long {
    const auto value = NumberIn(parser.value(option), low, high);
    if (!value && !failed) {
      failed = true;
      result.error = "--" + option.names().first().toStdString() + " needs a number from " + std::to_string(low) +
                     " to " + std::to_string(high) + ", not \"" + parser.value(option).toStdString() + "\"";
    }
    return value.value_or(low);
  };

  SimConfig config;
  sim::ControllerOptions& controller = config.controller;
  std::optional<int> version;
  if (parser.isSet(firmware)) version = static_cast<int>(number(firmware, kMinFirmware, kMaxFirmware));
  if (parser.isSet(versionText)) {
    // The argument's own bytes go on the line.
    controller.versionText = shell::FileNameBytes(parser.value(versionText));
    if (!version) version = VersionInText(*controller.versionText);
  }
  if (parser.isSet(probeInterval)) controller.probeIntervalMs = number(probeInterval, 1, kMaxMs);
  if (parser.isSet(replyDelay)) controller.replyDelayMs = number(replyDelay, 0, kMaxMs);
  controller.paced = parser.isSet(paced);
  if (parser.isSet(saveOkDelay)) controller.saveOkDelayMs = number(saveOkDelay, 0, kMaxMs);
  controller.keepProbing = parser.isSet(keepProbing);
  controller.strict = parser.isSet(strict);
  // Arrival times on the terminal are read from the clock in whole ms, a
  // little after the bytes came: a pause of 5 ms may measure 4.
  if (controller.strict) controller.gapToleranceMs = kPtyGapToleranceMs;
  if (parser.isSet(gapTolerance)) {
    if (controller.strict) {
      controller.gapToleranceMs = number(gapTolerance, 0, link_timing::kOldByteGapMs);
    } else if (!failed) {
      failed = true;
      result.error = "--gap-tolerance needs --strict";
    }
  }

  sim::Faults& faults = config.faults;
  faults.noLoadOk = parser.isSet(noLoadOk);
  faults.badChecksum = parser.isSet(badChecksum);
  faults.silent = parser.isSet(silent);
  faults.noFinalSaveOk = parser.isSet(noFinalSaveOk);
  if (parser.isSet(shortImage)) faults.shortImage = static_cast<std::size_t>(number(shortImage, 0, kMaxCount));
  if (parser.isSet(garbage)) {
    faults.garbageSeed = static_cast<std::uint32_t>(number(garbage, 0, std::numeric_limits<std::uint32_t>::max()));
  }
  if (parser.isSet(dropAck)) faults.dropAckAt = static_cast<std::size_t>(number(dropAck, 0, kMaxCount));
  if (parser.isSet(dropCount)) faults.dropAckCount = static_cast<int>(number(dropCount, 1, kMaxCount));
  if (parser.isSet(lateAck)) {
    faults.lateAckAt = static_cast<std::size_t>(number(lateAck, 0, kMaxCount));
    faults.lateAckMs = parser.isSet(lateMs) ? number(lateMs, 0, kMaxMs) : 0;
  } else if (parser.isSet(lateMs) && !failed) {
    failed = true;
    result.error = "--late-ms needs --late-ack";
  }
  if (parser.isSet(hangUp)) faults.hangUpAt = static_cast<std::size_t>(number(hangUp, 0, kMaxCount));
  if (parser.isSet(save)) config.savePath = shell::FileNameBytes(parser.value(save));
  if (failed) return result;

  if (parser.isSet(image)) {
    const std::string path = shell::FileNameBytes(parser.value(image));
    // Messages show the bytes that are not UTF-8 as U+FFFD.
    const std::string shown = shell::ShownFileName(parser.value(image)).toStdString();
    std::string bytes;
    std::string why;
    if (!files.ReadAll(path, bytes, why)) {
      result.error = "cannot read " + shown + ": " + why;
      return result;
    }
    const SettingsFileParse parse = ParseSettingsFile(bytes);
    if (!parse.data || !parse.data->image) {
      result.error = shown + ": " + (parse.data ? std::string("no image in the file") : parse.error.message);
      return result;
    }
    // Without a version of its own the controller takes the file's.
    if (!version && KnownVersion(parse.data->version)) version = parse.data->version;
    controller.image = *parse.data->image;
    config.tree1 = parse.data->tree1;
    config.tree2 = parse.data->tree2;
  }
  controller.version = version.value_or(kMaxFirmware);
  if (!controller.image) {
    const auto defaults = DefaultConfigurationOf(controller.version);
    if (!defaults) {
      result.error = "no default image for version " + std::to_string(controller.version);
      return result;
    }
    controller.image = defaults->image;
    config.tree1 = defaults->tree1;
    config.tree2 = defaults->tree2;
  }
  // A strict controller delivers what it holds as it is; what it holds at
  // start is taken as written by the tool, which sets the checksum byte.
  const VersionProfile* profile = FindProfile(controller.version);
  if (controller.strict && profile != nullptr && profile->checksum) {
    controller.image->resize(profile->imageLength, 0);
    controller.image->back() = ImageChecksum(*controller.image);
  }
  result.config = std::move(config);
  return result;
}

bool SaveImageFile(const SimConfig& config, const Bytes& image, FileStore& files, std::string* error) {
  if (!config.savePath) return true;
  const auto bytes = WriteSettingsFile(config.controller.version, config.tree1, config.tree2, image, error);
  if (!bytes) return false;
  const std::string& path = *config.savePath;
  std::string why;
  if (!files.WriteAll(path, *bytes, why)) {
    if (error != nullptr) {
      *error = "cannot write " + shell::ShownFileName(shell::FileNameText(path)).toStdString() + ": " + why;
    }
    return false;
  }
  return true;
}

}  // namespace vemtaro::simulator
