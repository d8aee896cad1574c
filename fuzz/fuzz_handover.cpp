// The single-instance channel's reader on arbitrary bytes, fed in pieces of
// sizes the input chooses: it never keeps more than a message's bound, takes
// no more messages than a start sends, takes only messages whose bytes it was
// given, and stays refused once it has refused. The same bytes as a file
// name: when the channel can carry it, its OPEN reads back as that very name.
// The answers' reader on the same bytes.
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
  for (const Message& m : messages) {
    const std::string sent = m.kind == Kind::Raise ? RaiseMessage() : OpenMessage(m.path).value_or(std::string());
    Check(!sent.empty() && sent.size() <= kMaxMessageBytes);
    Check(stream.find(sent) != std::string_view::npos);
    if (m.kind == Kind::Open) Check(IsAbsolutePath(m.path));
  }

  if (const auto open = OpenMessage(stream)) {
    MessageReader back;
    std::vector<Message> taken;
    Check(open->size() <= kMaxMessageBytes);
    Check(back.Feed(*open, taken) && taken.size() == 1 && taken[0].kind == Kind::Open && taken[0].path == stream);
  }

  for (std::size_t expected = 0; expected <= 3; ++expected) {
    const Answers answers = ReadAnswers(stream, expected);
    if (answers == Answers::Accepted) Check(stream.size() == expected * 3);
  }
  return 0;
}
