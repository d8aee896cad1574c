// The single-instance channel's reader on arbitrary bytes, fed in pieces of
// sizes the input chooses: it never keeps more than a message's bound, takes
// no more messages than a start sends, takes only messages whose bytes it was
// given, and stays refused once it has refused. The same bytes as a file
// name and as a port's name: when the channel can carry them, their OPEN and
// PORT read back as those very names. The answers' reader on the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "window/handover.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vemtaro::handover;
  if (size == 0) return 0;
  // The first byte sets the size of the pieces (1..256), the rest is the stream.
  const std::size_t piece = static_cast<std::size_t>(data[0]) + 1;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

  MessageReader reader;
  std::vector<Message> messages;
  bool refused = false;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    const bool ok = reader.Feed(stream.substr(at, piece), messages);
    Check(reader.pending() < kMaxMessageBytes);
    Check(messages.size() <= kMaxMessages);
    if (refused) Check(!ok);
    if (!ok) {
      refused = true;
      Check(!reader.error().empty());
      Check(reader.pending() == 0);
    }
  }
  std::size_t raises = 0;
  std::size_t opens = 0;
  std::size_t ports = 0;
  for (const Message& m : messages) {
    std::string sent;
    switch (m.kind) {
      case Kind::Raise: sent = RaiseMessage(), ++raises; break;
      case Kind::Open: sent = OpenMessage(m.path).value_or(std::string()), ++opens; break;
      case Kind::Port: sent = PortMessage(m.path).value_or(std::string()), ++ports; break;
    }
    Check(!sent.empty() && sent.size() <= kMaxMessageBytes);
    Check(stream.find(sent) != std::string_view::npos);
    if (m.kind == Kind::Open) Check(IsAbsolutePath(m.path));
    if (m.kind == Kind::Port) Check(!m.path.empty() && m.path.find('\0') == std::string::npos);
  }
  Check(raises <= 1 && opens <= 1 && ports <= kMaxPorts);

  if (const auto open = OpenMessage(stream)) {
    MessageReader back;
    std::vector<Message> taken;
    Check(open->size() <= kMaxMessageBytes);
    Check(back.Feed(*open, taken) && taken.size() == 1 && taken[0].kind == Kind::Open && taken[0].path == stream);
  }

  if (const auto port = PortMessage(stream)) {
    MessageReader back;
    std::vector<Message> taken;
    Check(port->size() <= kMaxMessageBytes);
    Check(back.Feed(*port, taken) && taken.size() == 1 && taken[0].kind == Kind::Port && taken[0].path == stream);
  }

  for (std::size_t expected = 0; expected <= 3; ++expected) {
    std::vector<bool> taken;
    const Answers answers = ReadAnswers(stream, expected, &taken);
    Check(taken.size() <= expected);
    if (answers == Answers::Accepted) Check(stream.size() == expected * 3 && taken.size() == expected);
  }
  return 0;
}
