// While the program waits for the controller (the search, the 5.5 s waits of
// a read, a write and the clock, the clock's reply, the sensor identifiers),
// the status pane says what it waits for; when the wait ends, the pane says
// how it ended: the exchange's own text, or that nothing came.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace vemtaro::testing {
namespace {

namespace T = link_texts;

const std::string kSearch = "Ожидание ответа контроллера на порту COM1 ...";

struct WaitCase {
  const char* name;
  std::function<void(LinkBench&)> setup;    // after the connection
  std::function<void(LinkBench&)> command;  // the user's command
  std::function<bool(LinkBench&)> done;     // when the exchange is over
  std::string shownWhileWaiting;
  std::string after;  // empty: what the pane showed before the command
};

TEST(LinkWaits, ThePaneSaysWhatTheProgramWaitsFor) {
  const auto silent = [](LinkBench& b) { b.faults().silent = true; };
  const auto read = [](LinkBench& b) { b.link.N14Click(); };
  const auto loaded = [](LinkBench& b) { return b.link.loadResult.has_value(); };
  const auto clock = [](LinkBench& b) { b.link.N16Click(); };
  const auto identifiers = [](LinkBench& b) { b.link.ID17Click(); };
  const std::vector<WaitCase> cases = {
      {"read", {}, read, loaded, T::kWaitLoad, "Загрузка завершена"},
      {"read not answered", [](LinkBench& b) { b.faults().noLoadOk = true; }, read, loaded, T::kWaitLoad,
       "Загрузка неудачна !!!"},
      {"write",
       {},
       [](LinkBench& b) { b.link.N15Click(); },
       [](LinkBench& b) { return b.link.saveResult.has_value(); },
       T::kWaitSave,
       "Сохранение завершено"},
      {"clock",
       {},
       clock,
       [](LinkBench& b) { return b.link.timeResult.has_value(); },
       T::kWaitTime,
       "Время установлено. Текущее время: 09:05:07 08-12-26"},
      {"clock not confirmed", silent, clock, [](LinkBench& b) { return b.link.timeResult.has_value(); }, T::kWaitTime,
       "Ошибка установки времени"},
      {"the clock's reply not sent",
       [](LinkBench& b) {
         b.faults().silent = true;
         b.Inject("TIME_OK\r\n");
       },
       clock, [](LinkBench& b) { return !b.matchers().TimeIn.Enabled() && b.Now() > 1000; }, T::kWaitClock,
       T::kNoClock},
      {"identifiers",
       {},
       identifiers,
       [](LinkBench& b) { return b.link.idsResult.has_value(); },
       T::kWaitIds,
       "ID датчиков получены от контроллера"},
      {"identifiers not sent", silent, identifiers, [](LinkBench& b) { return !b.matchers().IDReciev.Enabled(); },
       T::kWaitIds, T::kNoIds},
  };
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ControllerOptions options = VersionOptions(15);
    options.image = DefaultImage(15);  // a configuration the pages can show
    LinkBench b(options);
    ASSERT_TRUE(b.Connect());
    b.link.backups = nullptr;
    b.link.verifyAfterWrite = false;
    const std::string before = b.model.status;
    if (c.setup) c.setup(b);
    // What the shell was told to show whenever the link waits or time passes.
    std::set<std::string> shown;
    b.port.hooks.idle = [&] {
      shown.insert(b.seen.status);
      b.Tick();
    };
    c.command(b);
    shown.insert(b.seen.status);
    ASSERT_TRUE(b.RunUntil(
        [&] {
          shown.insert(b.seen.status);
          return c.done(b);
        },
        300000));
    b.Run(10);
    EXPECT_TRUE(shown.count(c.shownWhileWaiting)) << "never shown while waiting";
    EXPECT_EQ(b.model.status, c.after.empty() ? before : c.after);
    EXPECT_TRUE(b.ShellUpToDate());
  }
}

// A wait that follows one that ended badly says how it ended itself: the
// text of the earlier end never comes back.
TEST(LinkWaits, AWaitAfterOneThatFailedShowsItsOwnEnd) {
  const auto idsTimeOut = [](LinkBench& b) {
    b.faults().silent = true;
    b.link.ID17Click();
    return b.RunUntil([&] { return !b.matchers().IDReciev.Enabled(); }, 120000);
  };
  const auto clockTimeOut = [](LinkBench& b) {
    b.faults().silent = true;
    b.Inject("TIME_OK\r\n");
    b.link.N16Click();
    return b.RunUntil([&] { return !b.matchers().TimeIn.Enabled(); }, 240000);
  };
  struct Case {
    const char* name;
    std::function<bool(LinkBench&)> first;  // ends badly; true when it has ended
    std::string firstEnd;
    std::function<void(LinkBench&)> then;
    std::function<bool(LinkBench&)> done;
    std::string after;
  };
  const auto idsDone = [](LinkBench& b) { return b.link.idsResult.has_value(); };
  const auto clockDone = [](LinkBench& b) { return b.link.timeResult.has_value(); };
  const std::vector<Case> cases = {
      {"identifiers, then identifiers", idsTimeOut, T::kNoIds, [](LinkBench& b) { b.link.ID17Click(); }, idsDone,
       "ID датчиков получены от контроллера"},
      {"identifiers, then a flood", idsTimeOut, T::kNoIds,
       [](LinkBench& b) {
         b.faults().silent = true;
         b.link.ID17Click();
         b.Inject(std::string(2000, '1'));
       },
       idsDone, "Ошибка передачи данных!"},
      {"the clock's reply, then the clock", clockTimeOut, T::kNoClock, [](LinkBench& b) { b.link.N16Click(); },
       clockDone, "Время установлено. Текущее время: 09:05:07 08-12-26"},
      {"the clock's reply, then no confirmation", clockTimeOut, T::kNoClock,
       [](LinkBench& b) {
         b.faults().silent = true;
         b.link.N16Click();
       },
       clockDone, "Ошибка установки времени"},
      {"the clock's reply, then a reply that cannot be shown", clockTimeOut, T::kNoClock,
       [](LinkBench& b) {
         b.faults().silent = true;
         b.Inject("TIME_OK\r\n");
         b.link.N16Click();
         b.Inject("12:3x:00*08-12-26*\r\n");
       },
       clockDone, "Ошибка установки времени"},
      {"identifiers, then the clock", idsTimeOut, T::kNoIds, [](LinkBench& b) { b.link.N16Click(); }, clockDone,
       "Время установлено. Текущее время: 09:05:07 08-12-26"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(15);
    b.checkProtocol = false;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(c.first(b));
    ASSERT_EQ(b.model.status, c.firstEnd);
    b.faults().silent = false;
    c.then(b);
    ASSERT_TRUE(b.RunUntil([&] { return c.done(b); }, 300000));
    b.Run(10);
    EXPECT_EQ(b.model.status, c.after);
    EXPECT_TRUE(b.ShellUpToDate());
  }
}

TEST(LinkWaits, TheSearchSaysItWaitsUntilItEnds) {
  struct Case {
    const char* name;
    std::string versionText;  // empty: the controller never answers
    std::string after;
  };
  const std::vector<Case> cases = {
      {"connected", "GSM-ALARM 15", "Версия прошивки: GSM-ALARM 15"},
      {"a version without a profile", "GSM-ALARM  9", "Настройки загружены"},
      {"no controller", "", kSearch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ControllerOptions options = VersionOptions(15);
    if (!c.versionText.empty()) options.versionText = c.versionText;
    LinkBench b(options);
    b.model.status = "Настройки загружены";  // what the pane showed before
    if (c.versionText.empty()) b.faults().silent = true;
    b.ClickPort(0);
    EXPECT_EQ(b.model.status, kSearch);
    EXPECT_TRUE(b.ShellUpToDate());
    b.Run(5000);
    EXPECT_EQ(b.model.status, c.after);
    EXPECT_TRUE(b.ShellUpToDate());
  }
  // Another port chosen: its own search.
  LinkBench b(15);
  b.faults().silent = true;
  b.ClickPort(0);
  b.ClickPort(0, "COM7");
  EXPECT_EQ(b.model.status, "Ожидание ответа контроллера на порту COM7 ...");
  b.ClickPort(std::nullopt, "COM8");  // cancelled: no search
  EXPECT_EQ(b.model.status, "");
}

}  // namespace
}  // namespace vemtaro::testing
