// vemtaro-sim's command line on arbitrary arguments: the input is the
// arguments after the program's name, separated by zero bytes, taken as the
// program takes its arguments (bytes that are not UTF-8 kept). The files an
// --image may name are kept in memory: "v12.dat" (a version-12 settings
// file), "bad.dat" (not a settings file) and "big.dat" (a file the store
// refuses as too large); every other name is missing.
//
// Checked: a command line gives a configuration, the help, or a reason, never
// two of them; a configuration has a version from 10 to 15, an image, and
// faults and times within the limits the options state; its image, saved as
// --save does, reads back whole.
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "files/settings_file.h"
#include "model/profiles.h"
#include "shell/file_names.h"
#include "sim_config.h"
#include "started_model.h"

namespace {

using namespace vemtaro;
using fuzzing::Check;

class Files : public FileStore {
 public:
  std::map<std::string, std::string> files;
  std::string written;
  bool ReadAll(const std::string& path, std::string& bytes, std::string& error) override {
    if (path == "big.dat") {
      error = "the file is too large";
      return false;
    }
    const auto it = files.find(path);
    if (it == files.end()) {
      error = "No such file or directory";
      return false;
    }
    bytes = it->second;
    return true;
  }
  bool WriteAll(const std::string&, const std::string& bytes, std::string&) override {
    written = bytes;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  // The help goes to standard output: away from the fuzzer's report.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // No command line is longer than a few dozen arguments of a few words.
  if (size > 1024) return 0;
  static Files files = [] {
    Files made;
    const auto defaults = simulator::DefaultConfigurationOf(12);
    if (defaults) {
      made.files["v12.dat"] =
          WriteSettingsFile(12, defaults->tree1, defaults->tree2, defaults->image).value_or(std::string());
    }
    made.files["bad.dat"] = "V15*00003abc";
    return made;
  }();

  QStringList arguments{QStringLiteral("vemtaro-sim")};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 0; at <= input.size();) {
    const std::size_t end = std::min(input.find('\0', at), input.size());
    const std::string_view word = input.substr(at, end - at);
    arguments.append(shell::FileNameText(word));
    at = end + 1;
  }

  const simulator::ConfigResult result = simulator::ParseSimArguments(arguments, files);
  Check(int(result.config.has_value()) + int(result.helpShown) + int(!result.error.empty()) == 1);
  // A reason names what was wrong, at most a few bytes for each byte given
  // ("-\xFF\xFF" is two unknown options, each shown as three bytes).
  Check(result.error.size() <= 8 * size + 200);
  if (!result.config) return 0;
  const simulator::SimConfig& config = *result.config;
  const sim::ControllerOptions& controller = config.controller;
  Check(controller.version >= kMinFirmware && controller.version <= kMaxFirmware);
  Check(controller.image.has_value() && !controller.image->empty());
  Check(controller.probeIntervalMs >= 1 && controller.replyDelayMs >= 0 && controller.saveOkDelayMs >= 0);
  Check(controller.gapToleranceMs >= 0 && controller.gapToleranceMs <= 5);
  Check(config.faults.dropAckCount >= 1 && config.faults.lateAckMs >= 0);
  if (config.savePath) {
    std::string error;
    files.written.clear();
    Check(simulator::SaveImageFile(config, *controller.image, files, &error));
    const SettingsFileParse parse = ParseSettingsFile(files.written);
    Check(parse.data.has_value() && parse.data->image.has_value());
    Check(parse.data->version == controller.version && *parse.data->image == *controller.image);
  }
  return 0;
}
