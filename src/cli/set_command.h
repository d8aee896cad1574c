// vemtaro-cli set: changes settings and reactions of a settings file by name,
// through the desktop program's own handlers and tree commands, and saves it.
#pragma once

#include <QStringList>

namespace vemtaro::cli {

// Takes the command's arguments (the command name first); returns the exit code.
int RunSet(const QStringList& positional);

}  // namespace vemtaro::cli
