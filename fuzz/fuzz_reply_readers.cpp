// The readers of the controller's replies on arbitrary bytes: the version
// number, the clock reply, the identifier groups and the status block, and the
// numbers the chart reads from the status block's lines. None may read past
// its input; what each gives back must come from the input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/replies.h"
#include "window/status_history.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vemtaro;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::string error;
  const auto version = VersionNumberOf(bytes, &error);
  Check(version.has_value() == error.empty());
  if (version) Check(size >= 12 && *version >= -99 && *version <= 999);

  if (const auto shown = ClockDisplayText(bytes)) {
    Check(shown->size() + 1 == size || (size == 0 && shown->empty()));
  }

  const auto groups = IdentifierGroups(bytes);
  for (std::size_t k = 0; k < groups.size(); ++k) {
    Check(groups[k].has_value() == ((k + 1) * kIdentifierGroupLength <= size));
    if (groups[k]) Check(*groups[k] == bytes.substr(k * kIdentifierGroupLength, kIdentifierGroupLength));
  }

  const StatusReading reading = ReadStatusBlock(bytes);
  std::size_t shownLength = 0;
  for (const auto& line : reading.analog) shownLength += line ? line->size() : 0;
  for (const auto& line : reading.sensors) shownLength += line ? line->size() : 0;
  if (reading.key) shownLength += reading.key->size();
  Check(shownLength <= size);
  for (const auto& line : reading.analog) {
    if (line) Check(line->find('\r') == std::string::npos && line->find('\n') == std::string::npos);
  }

  // A number only from a short text, and a finite one; the chart's sample
  // holds the number of each line that is one, and nothing else.
  auto number = [](std::string_view text) {
    const auto value = ReadingValue(text);
    if (value) Check(text.size() <= kMaxReadingLength && std::isfinite(*value));
    return value;
  };
  number(bytes);
  StatusHistory history;
  history.Add(0, reading);
  Check(history.Samples().size() == 1);
  const StatusSample& sample = history.Samples().front();
  for (std::size_t k = 0; k < 8; ++k) {
    Check(sample.values[k] == (reading.analog[k] ? number(*reading.analog[k]) : std::nullopt));
    Check(sample.values[8 + k] == (reading.sensors[k] ? number(*reading.sensors[k]) : std::nullopt));
  }
  return 0;
}
