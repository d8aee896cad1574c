// The program's streams (its arguments and the texts it prints: cli_text.h).
//
// Standard output is checked: a write, flush or close that fails is kept and
// turns the program's exit code into 3 with the reason (a full disk,
// /dev/full). Messages on standard error are made safe for a terminal.
#pragma once

#include <string>

#include "cli_text.h"

namespace vemtaro::cli {

// Writes to standard output; false (and the failure kept) when it did not go out.
bool PrintOut(const std::string& text);
// Writes a message to standard error, made safe for a terminal.
void PrintErr(const std::string& text);
// Writes to standard error as it is (the progress line with its "\r").
void PrintErrRaw(const std::string& text);
// Whether standard error is a terminal (progress is shown there only), and
// whether standard output is.
bool ErrorIsTerminal();
bool OutputIsTerminal();

// Flushes and closes standard output; when anything written to it failed,
// says so and returns 3, else the command's exit code.
int FinishOutput(int code);

}  // namespace vemtaro::cli
