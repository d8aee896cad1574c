// The commands of vemtaro-cli that work with the controller on a serial port.
// Each takes the command's arguments (the command name first) and returns the
// exit code.
#pragma once

#include <QStringList>

namespace vemtaro::cli {

int RunRead(const QStringList& positional);
int RunWrite(const QStringList& positional);
int RunClock(const QStringList& positional);
int RunIds(const QStringList& positional);
int RunStatus(const QStringList& positional);
int RunRelays(const QStringList& positional);
int RunPorts(const QStringList& positional);

}  // namespace vemtaro::cli
