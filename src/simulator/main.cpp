// vemtaro-sim: a simulated controller on a pseudo-terminal. The first line of
// its output is the terminal's path, for the PC's program to open as its port.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "pty_server.h"
#include "sim_config.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("vemtaro-sim");

  const vemtaro::simulator::ConfigResult parsed = vemtaro::simulator::ParseSimArguments(app.arguments());
  if (parsed.helpShown) return 0;
  if (!parsed.config) {
    std::fprintf(stderr, "vemtaro-sim: %s\n", parsed.error.c_str());
    return 2;
  }
  const vemtaro::simulator::SimConfig& config = *parsed.config;

  vemtaro::sim::ControllerSim controller(config.controller);
  controller.faults() = config.faults;

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
  if (!vemtaro::simulator::SaveImageFile(config, controller.image(), &error)) {
    std::fprintf(stderr, "vemtaro-sim: %s\n", error.c_str());
    return 1;
  }
  return served ? 0 : 1;
}
