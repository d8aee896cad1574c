// The single-instance channel between a later start of the program and the
// copy that runs. The later start sends one line per message, each ending in
// "\n":
//   "RAISE"          come forward;
//   "OPEN <path>"    open this settings file, an absolute path;
//   "PORT <name>"    list this serial port in the port menu (as a port given
//                    with --port at start is);
// and the running copy answers every message with one line, "OK" when it has
// taken the message, "REFUSED" when it will not act on it.
//
// A path, and a port's name, is the bytes of the system's file name,
// whatever they are: on Unix a name need not be UTF-8 (a name from an old
// Windows archive is Windows-1251). The line keeps printable ASCII and well-formed UTF-8
// characters from U+00A0 on as they are; every other byte (a control
// character, a C1 control, a byte that is not part of well-formed UTF-8) and
// "%" itself are written "%HH", two upper-case hexadecimal digits. Each path
// has exactly one line, so a message is what OpenMessage (PortMessage) makes
// of its path (name).
//
// Whatever reaches the running copy is outside input: a message is read only
// whole, never past the bytes received, and a connection that sends anything
// else (an unknown or empty message, a relative path, a port without a name,
// a zero byte, a line not written as above, more than a message's bound
// without its end, more messages than a start sends) is refused and closed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemtaro::handover {

// The longest message, its "\n" included.
inline constexpr std::size_t kMaxMessageBytes = 4096;
// A start hands over at most this many ports.
inline constexpr std::size_t kMaxPorts = 8;
// A start sends "RAISE", at most one "OPEN" and at most kMaxPorts "PORT".
inline constexpr std::size_t kMaxMessages = 2 + kMaxPorts;

inline constexpr std::string_view kRaise = "RAISE";
inline constexpr std::string_view kOpen = "OPEN ";
inline constexpr std::string_view kPort = "PORT ";
inline constexpr std::string_view kAccepted = "OK";
inline constexpr std::string_view kRefused = "REFUSED";

enum class Kind { Raise, Open, Port };

struct Message {
  Kind kind = Kind::Raise;
  std::string path;  // the file of an OPEN, the port of a PORT: its name's bytes
  bool operator==(const Message&) const = default;
};

// An absolute path: "/..." (Unix, and "//server/..."), or a drive "C:/..." or
// "C:\..." and "\\server\..." (Windows).
bool IsAbsolutePath(std::string_view path);

// The bytes of the messages, "\n" included. An OPEN only for a path that the
// channel can carry (absolute, without a zero byte, short enough for the bound
// once written); nothing otherwise.
std::string RaiseMessage();
std::optional<std::string> OpenMessage(std::string_view path);
// A PORT only for a name the channel can carry (not empty, without a zero
// byte, short enough for the bound once written); nothing otherwise.
std::optional<std::string> PortMessage(std::string_view name);

// The running copy's side: reads the messages of one connection as its bytes
// arrive.
class MessageReader {
 public:
  // Takes the bytes received since the last call; the messages they complete
  // are appended to `messages`. False once the connection is to be refused and
  // closed (then error() says why, and every later call is false as well).
  bool Feed(std::string_view bytes, std::vector<Message>& messages);
  const std::string& error() const { return error_; }
  // Bytes of a message not yet complete (never more than the bound).
  std::size_t pending() const { return line_.size(); }

 private:
  bool Fail(std::string why);

  std::string line_;
  std::size_t count_ = 0;
  std::vector<Kind> messages_;  // the kinds taken so far (at most kMaxMessages)
  std::string error_;
};

// The later start's side: the answers to its messages in the bytes received
// so far.
enum class Answers { Incomplete, Accepted, Refused, Broken };
// `expected` answers must come, each "OK\n" or "REFUSED\n"; Accepted when all
// are "OK", Refused when one is "REFUSED", Broken for anything else (a line
// that is no answer, more bytes than the answers take). `taken`, when given,
// receives whether each answer read so far is "OK", in the messages' order.
Answers ReadAnswers(std::string_view received, std::size_t expected, std::vector<bool>* taken = nullptr);

}  // namespace vemtaro::handover
