// Serving the simulated controller on a pseudo-terminal: the PC's program
// opens the terminal's slave side as its serial port; the controller sits on
// the master side.
#pragma once

#include <string>

#include "sim/controller_sim.h"

namespace vemtaro::simulator {

class PtyServer {
 public:
  PtyServer() = default;
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the terminal pair with the slave in raw mode, and makes SIGINT and
  // SIGTERM end Serve. False with the reason on failure.
  bool Open(std::string* error);
  // The path a client opens, e.g. /dev/pts/3.
  const std::string& SlavePath() const { return slavePath_; }

  // Feeds what arrives to the controller with the monotonic time and sends
  // what it has due at the due times, until SIGINT or SIGTERM. False with the
  // reason when the terminal fails.
  bool Serve(sim::ControllerSim& controller, std::string* error);

 private:
  bool Flush(std::string* error);
  void CheckPeer();

  int master_ = -1;
  // Kept open by the server itself so that the master side never reports a
  // hang-up while no client has the terminal open.
  int slave_ = -1;
  // Open and close events of the slave's path, to tell when a client has it open.
  int watch_ = -1;
  int openCount_ = 0;
  std::string slavePath_;
  std::string outgoing_;  // due bytes the terminal has not taken yet
};

}  // namespace vemtaro::simulator
