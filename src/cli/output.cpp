#include "output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define VEMTARO_ISATTY _isatty
#define VEMTARO_FILENO _fileno
#else
#include <unistd.h>
#define VEMTARO_ISATTY ::isatty
#define VEMTARO_FILENO ::fileno
#endif

#include "cli.h"
#include "cli_common.h"

namespace vemtaro::cli {
namespace {

// The failure of standard output, once there was one.
int outputErrno = 0;
bool outputFailed = false;
bool wroteAny = false;

void KeepFailure() {
  if (outputFailed) return;
  outputFailed = true;
  outputErrno = errno;
}

}  // namespace

bool PrintOut(const std::string& text) {
  if (outputFailed) return false;
  wroteAny = wroteAny || !text.empty();
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    KeepFailure();
    return false;
  }
  return true;
}

void PrintErrRaw(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void PrintErr(const std::string& text) { PrintErrRaw(TerminalSafe(text)); }

bool ErrorIsTerminal() { return VEMTARO_ISATTY(VEMTARO_FILENO(stderr)) != 0; }
bool OutputIsTerminal() { return VEMTARO_ISATTY(VEMTARO_FILENO(stdout)) != 0; }

int FinishOutput(int code) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) KeepFailure();
  errno = 0;
  // A standard output that was closed before the start is no failure when
  // nothing was to be written to it.
  if (std::fclose(stdout) != 0 && (wroteAny || errno != EBADF)) KeepFailure();
  if (!outputFailed) return code;
  std::string reason = outputErrno != 0 ? std::strerror(outputErrno) : std::string("the output could not be written");
  PrintErr(std::string(kProgram) + ": standard output: " + reason + "; the output is incomplete\n");
  return kFileError;
}

}  // namespace vemtaro::cli
