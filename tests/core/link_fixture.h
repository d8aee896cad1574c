// A bench for the controller link: the main window's link side on an in-memory
// line against the simulated controller, with a virtual clock.
//
// Everything runs in virtual time on the test's thread. The text wait's idle
// hook, the host's pauses and the driver Run() move the clock one millisecond at
// a time and let the controller take and send bytes at each step, so a wait of
// 100 ticks costs 5.5 s of virtual time and no real time. Bytes the controller
// would not send by itself are put on the controller's end of the line directly
// (Inject, InjectAt); the controller's faults are reached through faults().
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "link/com_port.h"
#include "link/serial_line.h"
#include "link/ticks.h"
#include "model/dialogs.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/profiles.h"
#include "scripted_dialogs.h"
#include "sim/controller_sim.h"
#include "sim/linked_controller.h"
#include "window/controller_link.h"
#include "window/main_model.h"

namespace vemtaro::testing {

// The scripted dialogs, with the information box kept apart.
class LinkDialogs : public ScriptedDialogs {
 public:
  // Information boxes, kept apart from the message and error boxes.
  std::vector<std::string> information;
  // Showing an information box fails (raises).
  bool failInformation = false;
  // Called as each message or error box is shown, before it is recorded.
  std::function<void(const std::string& text)> onShow;

  void ShowMessage(const std::string& text) override {
    if (onShow) onShow(text);
    ScriptedDialogs::ShowMessage(text);
  }
  void ShowError(const std::string& text) override {
    if (onShow) onShow(text);
    ScriptedDialogs::ShowError(text);
  }
  void ShowInformation(const std::string& text) override {
    if (failInformation) throw std::runtime_error("the information box cannot be shown");
    information.push_back(text);
  }
};

// Controller options of a firmware version.
inline sim::ControllerOptions VersionOptions(int version) {
  sim::ControllerOptions options;
  options.version = version;
  return options;
}

// A valid default image of a version as a started main window holds it, with
// the checksum in its last byte when the version has one. `edit` changes it
// before the checksum is taken.
inline Bytes DefaultImage(int version, const std::function<void(ConfigImage&)>& edit = {}) {
  SilentDialogs silent;
  MainModel model(silent);
  model.Startup();
  model.ApplyProfile(version);
  ConfigImage image = model.ws.working;
  if (edit) edit(image);
  Bytes bytes = image.bytes();
  const VersionProfile* profile = FindProfile(version);
  if (profile != nullptr && profile->checksum && !bytes.empty()) bytes.back() = ImageChecksum(bytes);
  return bytes;
}

class LinkBench {
 public:
  // The link's host: opens and closes the memory line's PC end, pauses in
  // virtual time and queues the write's hand-overs for Run().
  class Host : public LinkHost {
   public:
    explicit Host(LinkBench& bench) : bench_(bench) {}

    PortOpenResult openOutcome = PortOpenResult::Opened;
    std::string openFailure;  // the system's text of a failed open
    std::vector<std::string> opened;
    int closes = 0;
    std::vector<Millis> pauses;
    std::deque<std::function<void()>> posted;
    LocalDateTime localTime{2026, 12, 8, 9, 5, 7};

    PortOpening OpenPort(const std::string& name) override {
      opened.push_back(name);
      if (openOutcome != PortOpenResult::Opened) return {openOutcome, openFailure};
      bench_.controller.line().host().SetOpen(true);
      bench_.port.SetOpen(true);
      return {PortOpenResult::Opened, {}};
    }
    void ClosePort() override {
      ++closes;
      bench_.controller.line().host().SetOpen(false);
      bench_.port.SetOpen(false);
    }
    // Port events stay held by the link itself meanwhile.
    void Pause(Millis ms) override {
      pauses.push_back(ms);
      for (Millis i = 0; i < ms; ++i) bench_.Tick();
    }
    void Post(std::function<void()> step) override { posted.push_back(std::move(step)); }
    LocalDateTime LocalTime() override { return localTime; }

   private:
    LinkBench& bench_;
  };

  // The controller is strict: it keeps what it is sent byte for byte and
  // records every step of the PC that breaks the protocol; a test fails on any
  // unless it says it breaks the protocol on purpose (checkProtocol = false).
  explicit LinkBench(sim::ControllerOptions options = {})
      : controller(Strict(std::move(options))),
        port(controller.host(), clock),
        model(dialogs),
        host(*this),
        link(model, port, host) {
    model.Startup();
    dialogs.Clear();
    port.hooks.idle = [this] { Tick(); };
    link.OnChanged = [this](bool pages) {
      ++changes;
      if (pages) ++pageChanges;
      seen = Seen{link.progressVisible, link.mainEnabled, link.pagesEnabled,
                  model.N13.enabled,    model.status,     link.comStatus};
    };
  }
  explicit LinkBench(int version) : LinkBench(VersionOptions(version)) {}
  LinkBench(const LinkBench&) = delete;
  LinkBench& operator=(const LinkBench&) = delete;
  ~LinkBench() {
    if (!checkProtocol) return;
    std::string texts;
    for (const std::string& v : controller.controller().Violations()) texts += "\n  " + v;
    EXPECT_EQ(controller.controller().ViolationCount(), 0u) << "the PC broke the protocol:" << texts;
  }

  // Whether the test fails when the PC breaks the protocol.
  bool checkProtocol = true;

  VirtualClock clock;
  sim::LinkedController controller;
  ComPort port;
  LinkDialogs dialogs;
  MainModel model;
  Host host;
  ControllerLink link;
  int changes = 0;
  int pageChanges = 0;
  // What the shell was last told to show (at the last OnChanged).
  struct Seen {
    bool progressVisible = false;
    bool mainEnabled = true;
    bool pagesEnabled = true;
    bool n13 = false;
    std::string status;
    std::string comStatus;
  };
  Seen seen;

  // Whether the last OnChanged showed the windows as they are now.
  ::testing::AssertionResult ShellUpToDate() const {
    if (seen.progressVisible == link.progressVisible && seen.mainEnabled == link.mainEnabled &&
        seen.pagesEnabled == link.pagesEnabled && seen.n13 == model.N13.enabled && seen.status == model.status &&
        seen.comStatus == link.comStatus) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the last change reported showed status \"" << seen.status << "\", now \""
                                         << model.status << "\"";
  }

  Millis Now() const { return clock.NowMs(); }
  sim::ControllerSim& sim() { return controller.controller(); }
  sim::Faults& faults() { return sim().faults(); }
  ProgramMatchers& matchers() { return link.matchers(); }

  // One millisecond: the clock moves, due injections reach the line and the
  // controller takes what the PC sent and sends what is due.
  void Tick() {
    clock.Advance(1);
    while (!scheduled_.empty() && scheduled_.begin()->first <= clock.NowMs()) {
      Inject(scheduled_.begin()->second);
      scheduled_.erase(scheduled_.begin());
    }
    controller.Pump(clock.NowMs());
  }
  // One step of the driver: a millisecond, the port serviced, then one posted
  // step, if any.
  void Step() {
    Tick();
    port.Service();
    if (!host.posted.empty()) {
      std::function<void()> step = std::move(host.posted.front());
      host.posted.pop_front();
      step();
    }
  }
  void Run(Millis ms) {
    for (Millis i = 0; i < ms; ++i) Step();
  }
  // Runs until the predicate holds, at most limitMs; returns whether it holds.
  bool RunUntil(const std::function<bool()>& done, Millis limitMs) {
    for (Millis i = 0; i < limitMs && !done(); ++i) Step();
    return done();
  }

  // Bytes from the controller's side, on the line at once or at a time.
  void Inject(const std::string& bytes) { controller.line().device().Send(bytes); }
  void InjectAt(Millis atMs, const std::string& bytes) { scheduled_.emplace(atMs, bytes); }

  // The port menu item clicked with the given answer of the connection-type
  // dialog; then a millisecond passes, so that the controller has taken what
  // was sent (the port is not serviced).
  void ClickPort(std::optional<int> type, const std::string& name = "COM1") {
    dialogs.connectionTypes.push_back(type);
    link.PopupMenuItemsClick(name);
    Tick();
  }
  // A direct connection on COM1, run until the exchange menu is enabled.
  ::testing::AssertionResult Connect(Millis limitMs = 10000) {
    ClickPort(0);
    if (!RunUntil([this] { return model.N13.enabled; }, limitMs)) {
      return ::testing::AssertionFailure() << "no connection; ComStatus \"" << link.comStatus << "\"";
    }
    dialogs.Clear();
    return ::testing::AssertionSuccess();
  }
  // The port vanishes under the link, as the adapter reports it.
  void LosePort() {
    controller.line().host().SetOpen(false);
    port.SetOpen(false);
    link.PortLost("device removed");
  }

  // What the PC sent: everything, or from a mark (a count of chunks) on.
  std::size_t Mark() const { return controller.received().size(); }
  std::string Sent(std::size_t fromMark = 0) const {
    std::string all;
    const auto& chunks = controller.received();
    for (std::size_t i = fromMark; i < chunks.size(); ++i) all += chunks[i].bytes;
    return all;
  }
  // The time the byte at `offset` of Sent(fromMark) reached the controller.
  Millis SentAt(std::size_t offset, std::size_t fromMark = 0) const {
    const auto& chunks = controller.received();
    for (std::size_t i = fromMark; i < chunks.size(); ++i) {
      if (offset < chunks[i].bytes.size()) return chunks[i].ms;
      offset -= chunks[i].bytes.size();
    }
    ADD_FAILURE() << "nothing was sent at that offset";
    return -1;
  }

  // The boxes shown, as texts.
  std::vector<std::string> Shown() const { return dialogs.Texts(); }

 private:
  static sim::ControllerOptions Strict(sim::ControllerOptions options) {
    options.strict = true;
    return options;
  }

  std::multimap<Millis, std::string> scheduled_;
};

// Image bytes as a string, for comparing with what went over the line.
inline std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline std::string Str(const ConfigImage& image) { return Str(image.bytes()); }

}  // namespace vemtaro::testing
