// Plays an arbitrary controller against the program's link: the input is a
// script of what the controller sends, how much time passes and which command
// the user gives, so every reply the program takes apart (the version reply,
// the image delivery, the identifier reply, the status block, the clock reply)
// meets arbitrary bytes through the real matchers and handlers.
//
// Script records: an operation byte, a length byte, then for "send" that many
// bytes. Checked after every record: the working image keeps the length of the
// selected version, a load that did not succeed left it unchanged, and the
// status window's history of readings keeps within its bound.
//
// The main window is started once for all inputs; each input begins from its
// started configuration (with trees of a node each) and a port and link of
// its own.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "link/com_port.h"
#include "link/replies.h"
#include "link/serial_line.h"
#include "model/profiles.h"
#include "started_model.h"
#include "window/controller_link.h"
#include "window/main_model.h"

namespace {

using namespace vemtaro;

class Dialogs : public SilentDialogs {
 public:
  std::optional<int> ChooseConnectionType() override { return 0; }
};

class Host : public LinkHost {
 public:
  Host(MemoryLine& line, ComPort& port, VirtualClock& clock) : line_(line), port_(port), clock_(clock) {}
  PortOpening OpenPort(const std::string&) override {
    line_.host().SetOpen(true);
    port_.SetOpen(true);
    return {PortOpenResult::Opened, {}};
  }
  void ClosePort() override {
    if (!line_.host().IsOpen()) return;
    line_.host().SetOpen(false);
    port_.SetOpen(false);
  }
  void Pause(Millis ms) override { clock_.Advance(ms); }
  void Post(std::function<void()> step) override { steps.push_back(std::move(step)); }
  LocalDateTime LocalTime() override { return {2026, 12, 8, 9, 5, 7}; }
  std::deque<std::function<void()>> steps;

 private:
  MemoryLine& line_;
  ComPort& port_;
  VirtualClock& clock_;
};

using fuzzing::Check;

// The pure readers on the raw bytes: none may read past them.
void Readers(std::string_view bytes) {
  std::string error;
  (void)VersionNumberOf(bytes, &error);
  (void)ClockDisplayText(bytes);
  (void)IdentifierGroups(bytes);
  (void)ReadStatusBlock(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Readers(input);

  VirtualClock clock;
  MemoryLine line;
  ComPort port(line.host(), clock);
  // The main window is started once; each input begins from its started
  // configuration (fuzz/started_model.h) with a port and link of its own.
  static Dialogs dialogs;
  static fuzzing::StartedModel started(dialogs, true);
  MainModel& model = started.Fresh();
  const fuzzing::FreshAfterwards afterwards{started};  // after the link below has gone
  Host host(line, port, clock);
  ControllerLink link(model, port, host);
  // The script, read by the main loop and by the waits of the program: a
  // wait takes the controller's next bytes when the script sends them next,
  // and otherwise lets one tick pass.
  std::size_t pos = 0;
  auto nextIsSend = [&] { return pos + 2 <= size && data[pos] % 8 == 0; };
  auto takeSend = [&] {
    const std::size_t n = std::min<std::size_t>(data[pos + 1], size - pos - 2);
    const std::string_view bytes = input.substr(pos + 2, n);
    pos += 2 + n;
    if (line.host().IsOpen()) line.device().Send(bytes);
  };
  port.hooks.idle = [&] {
    if (nextIsSend()) {
      takeSend();
    } else {
      clock.Advance(kTickMs);
    }
  };

  auto service = [&] {
    port.Service();
    for (int guard = 0; guard < 20000 && !host.steps.empty(); ++guard) {
      auto step = std::move(host.steps.front());
      host.steps.pop_front();
      step();
      port.Service();
    }
  };

  link.PopupMenuItemsClick("COM1");
  while (pos + 2 <= size) {
    const std::uint8_t op = data[pos];
    const std::size_t length = data[pos + 1];
    const auto loadBefore = link.loadResult;
    const auto idsBefore = link.idsResult;
    const auto versionBefore = link.ReportedVersion();
    const bool transferBefore = link.Transferring();
    // A load can fail within the record, with nothing else under way, only
    // when the record starts one or the load matcher is still armed from a
    // read that got no "LOAD_OK": only then is the image kept (a copy for
    // every record would cost more than the record), in one buffer for all
    // records and inputs (a new 5.5 KB buffer for each, allocated and freed
    // under the address sanitizer, cost a sixth of the whole run).
    const bool loadMayEnd = !transferBefore && op % 8 != 3 && (op % 8 == 2 || link.matchers().Zagruzka.Enabled());
    static Bytes before;
    if (loadMayEnd) before.assign(model.ws.working.bytes().begin(), model.ws.working.bytes().end());
    if (op % 8 == 0) {
      takeSend();
    } else {
      pos += 2;
    }
    // clang-format off
    switch (op % 8) {
      case 0:
        break;
      case 1:
        clock.Advance(static_cast<Millis>(length) * kTickMs);
        break;
      case 2:
        link.N14Click();
        break;
      case 3:
        link.N15Click();
        break;
      case 4:
        link.N16Click();
        break;
      case 5:
        link.ID17Click();
        break;
      case 6:
        // Length 3 mod 4 switches "Автоопрос" over, which then asks by itself
        // as the script's time passes.
        if (length % 4 == 3) {
          link.AutoPollClick(!link.form5.AutoPoll);
        } else {
          link.Button1Click();
        }
        break;
      default:
        link.ReleysChange(static_cast<int>(length % 8), (length & 8) != 0);
        break;
    }
    // clang-format on
    service();
    line.device().ReadAll();  // what the PC sent is not looked at here
    if (const VersionProfile* profile = FindProfile(model.ws.FirmwareVersion)) {
      Check(model.ws.working.size() == profile->imageLength);
    }
    Check(link.form5.History.Samples().size() <= StatusHistory::kMaxSamples);
    // A load that failed changed nothing, when nothing else that writes the
    // image (an identifier reply, a version reply, a write) ran meanwhile.
    const bool loadFailedNow = link.loadResult == std::optional<bool>(false) && loadBefore != link.loadResult;
    if (loadMayEnd && loadFailedNow && link.idsResult == idsBefore && link.ReportedVersion() == versionBefore) {
      Check(model.ws.working.bytes() == before);
    }
  }
  return 0;
}
