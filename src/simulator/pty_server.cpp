#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <algorithm>
#include <optional>

namespace vemtaro::simulator {
namespace {

// The write end of the pipe the signal handler writes to, so that a stop
// signal wakes the poll.
volatile std::sig_atomic_t gStopWrite = -1;
int gStopRead = -1;

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 's';
  if (gStopWrite >= 0) {
    [[maybe_unused]] const ssize_t n = ::write(gStopWrite, &byte, 1);
  }
  errno = saved;
}

std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool SetFlags(int fd, int add) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | add) == 0;
}

bool InstallStopSignals(std::string* error) {
  if (gStopRead < 0) {
    int fds[2];
    if (::pipe(fds) != 0) {
      *error = Failure("pipe");
      return false;
    }
    for (int fd : fds) {
      SetFlags(fd, O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    gStopRead = fds[0];
    gStopWrite = fds[1];
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
    *error = Failure("sigaction");
    return false;
  }
  // A client that goes away must not end the server through a broken pipe.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

// Milliseconds of the monotonic clock.
// Microseconds of the monotonic clock.
std::int64_t NowUs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Far more than a whole exchange: beyond this the oldest unsent bytes go.
constexpr std::size_t kMaxOutgoing = 1 << 20;

}  // namespace

PtyServer::~PtyServer() {
  for (int fd : {watch_, slave_, master_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool PtyServer::Open(std::string* error) {
  if (!InstallStopSignals(error)) return false;
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    *error = Failure("posix_openpt");
    return false;
  }
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    *error = Failure("grantpt/unlockpt");
    return false;
  }
  const char* name = ::ptsname(master_);
  if (name == nullptr) {
    *error = Failure("ptsname");
    return false;
  }
  slavePath_ = name;
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    *error = Failure(slavePath_.c_str());
    return false;
  }
  // Raw: every byte passes unchanged both ways, no echo, no line editing.
  termios mode{};
  if (::tcgetattr(slave_, &mode) != 0) {
    *error = Failure("tcgetattr");
    return false;
  }
  ::cfmakeraw(&mode);
  ::cfsetispeed(&mode, B9600);
  ::cfsetospeed(&mode, B9600);
  if (::tcsetattr(slave_, TCSANOW, &mode) != 0) {
    *error = Failure("tcsetattr");
    return false;
  }
  if (!SetFlags(master_, O_NONBLOCK)) {
    *error = Failure("fcntl");
    return false;
  }
  // Opens of the slave after this point are the clients'. Without the watch
  // every client is taken as always present.
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && ::inotify_add_watch(watch_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
    ::close(watch_);
    watch_ = -1;
  }
  return true;
}

void PtyServer::CheckPeer() {
  if (watch_ < 0) return;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(watch_, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      at += static_cast<ssize_t>(sizeof event + event.len);
      if ((event.mask & IN_OPEN) != 0) ++openCount_;
      if ((event.mask & IN_CLOSE) != 0 && openCount_ > 0 && --openCount_ == 0) {
        // The last client left: what it did not read is lost, as on a line
        // whose port is closed.
        ::tcflush(slave_, TCIFLUSH);
        outgoing_.clear();
      }
    }
  }
}

bool PtyServer::Flush(std::string* error) {
  while (!outgoing_.empty()) {
    const ssize_t n = ::write(master_, outgoing_.data(), outgoing_.size());
    if (n > 0) {
      outgoing_.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO)) break;  // full, or no peer
    *error = Failure("write");
    return false;
  }
  if (outgoing_.size() > kMaxOutgoing) outgoing_.erase(0, outgoing_.size() - kMaxOutgoing);
  return true;
}

bool PtyServer::Serve(sim::ControllerSim& controller, std::string* error) {
  // The controller's timers count in ms; its paced bytes are due to the
  // microsecond, and go out when they are due, not at the next whole ms, so
  // that a round trip (a byte and its "o") is not stretched by rounding.
  const std::int64_t startUs = NowUs();
  const auto nowUs = [startUs] { return NowUs() - startUs; };
  const auto nowMs = [&nowUs] { return nowUs() / 1000; };
  const bool watched = watch_ >= 0;
  const auto send = [&](const std::string& bytes) {
    // Bytes sent while no client has the port open go nowhere.
    if (!watched || openCount_ > 0) outgoing_ += bytes;
  };
  const auto due = [&] {
    const std::int64_t us = nowUs();
    send(controller.Poll(us / 1000));
    send(controller.TakeDueUs(us));
  };
  CheckPeer();
  due();
  char buffer[4096];
  for (;;) {
    if (!Flush(error)) return false;
    std::optional<std::int64_t> wakeUs;
    if (const auto next = controller.NextEventMs()) wakeUs = *next * 1000;
    if (const auto output = controller.NextOutputUs(); output && (!wakeUs || *output < *wakeUs)) wakeUs = output;
    timespec timeout{};
    timespec* wait = nullptr;
    if (wakeUs) {
      const std::int64_t us = std::clamp<std::int64_t>(*wakeUs - nowUs(), 0, 60 * 1000000);
      timeout.tv_sec = static_cast<time_t>(us / 1000000);
      timeout.tv_nsec = static_cast<long>(us % 1000000) * 1000;
      wait = &timeout;
    }
    pollfd fds[3] = {{gStopRead, POLLIN, 0}, {master_, POLLIN, 0}, {watch_, POLLIN, 0}};
    if (!outgoing_.empty()) fds[1].events |= POLLOUT;
    const nfds_t count = watched ? 3 : 2;
    if (::ppoll(fds, count, wait, nullptr) < 0) {
      if (errno == EINTR) continue;
      *error = Failure("ppoll");
      return false;
    }
    // The bytes that woke the poll came at this moment, not when they are
    // read: the controller measures the PC's pauses with it.
    const std::int64_t wokeMs = nowMs();
    if ((fds[0].revents & POLLIN) != 0) return true;  // SIGINT or SIGTERM
    if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      CheckPeer();
      if (n > 0) {
        send(controller.Receive(std::string_view(buffer, static_cast<std::size_t>(n)), wokeMs));
      } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != EIO) {
        *error = Failure("read");
        return false;
      }
    } else {
      CheckPeer();
    }
    due();
  }
}

}  // namespace vemtaro::simulator
