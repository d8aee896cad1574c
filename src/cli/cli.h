// vemtaro-cli: the commands "new", "show" and "diff" on settings files, and the
// commands "read", "write", "clock", "ids", "status", "relays" and "ports" that
// work with the controller on a serial port.
#pragma once

#include <QStringList>

namespace vemtaro::cli {

// Exit codes of the program.
enum ExitCode : int {
  kSuccess = 0,
  kDifferent = 1,  // diff: the files differ
  kFailed = 1,     // the controller did not answer, refused or failed a check
  kUsage = 2,      // unknown command, missing or wrong arguments
  kFileError = 3,  // a file cannot be read, written or parsed
};

// Runs the program on its arguments (the first is the program itself).
int Run(const QStringList& arguments);

}  // namespace vemtaro::cli
