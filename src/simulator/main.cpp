// vemtaro-sim: a simulated controller on a pseudo-terminal. The first line of
// its output is the terminal's path, for the PC's program to open as its port.
// Exit codes: 0 stopped by SIGINT or SIGTERM, 1 the terminal or the --save file
// failed, 2 wrong usage or an --image file that cannot be read, 3 (with
// --strict) the PC broke the protocol.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "pty_server.h"
#include "shell/file_names.h"
#include "shell/qt_file_store.h"
#include "sim_config.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("vemtaro-sim");

  // The same files as vemtaro-cli's: named byte for byte (a name need not be
  // UTF-8), only regular files of a settings file's size are read, and --save
  // replaces its file only when the new one is whole.
  vemtaro::shell::QtFileStore files;
  const vemtaro::simulator::ConfigResult parsed =
      vemtaro::simulator::ParseSimArguments(vemtaro::shell::ArgumentsOf(argc, argv), files);
  if (parsed.helpShown) return 0;
  if (!parsed.config) {
    std::fprintf(stderr, "vemtaro-sim: %s\n", parsed.error.c_str());
    return 2;
  }
  const vemtaro::simulator::SimConfig& config = *parsed.config;

  vemtaro::sim::ControllerSim controller(config.controller);
  controller.faults() = config.faults;
  const bool strict = config.controller.strict;
  if (strict) {
    controller.SetViolationHandler(
        [](const std::string& text) { std::fprintf(stderr, "vemtaro-sim: violation: %s\n", text.c_str()); });
  }

  vemtaro::simulator::PtyServer server;
  std::string error;
  if (!server.Open(&error)) {
    std::fprintf(stderr, "vemtaro-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", server.SlavePath().c_str());
  std::fflush(stdout);

  const bool served = server.Serve(controller, &error);
  if (!served) std::fprintf(stderr, "vemtaro-sim: %s\n", error.c_str());
  const bool saved = vemtaro::simulator::SaveImageFile(config, controller.image(), files, &error);
  if (!saved) std::fprintf(stderr, "vemtaro-sim: %s\n", error.c_str());
  if (strict) {
    const std::size_t count = controller.ViolationCount();
    std::fprintf(stderr, "vemtaro-sim: %zu protocol violation%s\n", count, count == 1 ? "" : "s");
    if (count > 0) return 3;
  }
  return served && saved ? 0 : 1;
}
