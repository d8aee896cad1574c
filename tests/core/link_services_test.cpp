// The services on an established connection: setting the controller's clock,
// asking for the sensor identifiers, the status window's request and its
// relays, and taking the key code over as the master key.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace vemtaro::testing {
namespace {

namespace L = layout;

const std::string kFill16(16, '*');

// ---------------------------------------------------------------- clock

TEST(LinkClock, TimeAndDateTexts) {
  struct Case {
    LocalDateTime t;
    std::string time;
    std::string date;
  };
  for (const Case& c : std::vector<Case>{{{2026, 12, 8, 9, 5, 7}, "09:05:07", "08-12-26"},
                                         {{1999, 1, 31, 23, 59, 59}, "23:59:59", "31-01-99"},
                                         {{2000, 2, 29, 0, 0, 0}, "00:00:00", "29-02-00"}}) {
    EXPECT_EQ(TimeText(c.t), c.time);
    EXPECT_EQ(DateText(c.t), c.date);
  }
}

TEST(LinkClock, SetsTheClockAndShowsTheReply) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.host.localTime = {2026, 12, 8, 9, 5, 7};
  const std::size_t mark = b.Mark();
  b.link.N16Click();
  EXPECT_TRUE(b.matchers().TimeIn.Enabled());
  ASSERT_TRUE(b.RunUntil([&] { return b.link.timeResult.has_value(); }, 1000));
  EXPECT_EQ(b.link.timeResult, true);
  EXPECT_EQ(b.Sent(mark),
            "TIME\n"
            "09:05:07\n"
            "08-12-26\n");
  // The controller answers "09:05:07*08-12-26*": '*' is a blank, the last
  // character is not shown.
  EXPECT_EQ(b.link.ClockReply(), "09:05:07 08-12-26");
  EXPECT_EQ(b.model.status, "Время установлено. Текущее время: 09:05:07 08-12-26");
  EXPECT_EQ(b.dialogs.information, std::vector<std::string>{"Время установлено.\rТекущее время: 09:05:07 08-12-26"});
  EXPECT_TRUE(b.dialogs.shown.empty());
  EXPECT_FALSE(b.matchers().TimeIn.Enabled());
  EXPECT_TRUE(b.ShellUpToDate());
  EXPECT_EQ(b.sim().ClockText(b.Now()).substr(0, 17), "09:05:07*08-12-26");
}

TEST(LinkClock, ReplyTexts) {
  struct Case {
    std::string reply;
    std::optional<std::string> shown;  // nothing: error 98
  };
  for (const Case& c : std::vector<Case>{
           {"12:00:00*01-02-03*", "12:00:00 01-02-03"},
           {"12:00:00-01-02-03X", "12:00:00-01-02-03"},
           {"**:**:**", "  :  : "},
           {"12:00:00A01-02-03*", std::nullopt},
           {"x2:00:00*01-02-03*", std::nullopt},
       }) {
    SCOPED_TRACE(c.reply);
    LinkBench b(15);
    ASSERT_TRUE(b.Connect());
    b.faults().silent = true;
    b.Inject("TIME_OK\r\n");
    b.link.N16Click();
    b.Inject(c.reply + "\r\n");
    ASSERT_TRUE(b.RunUntil([&] { return b.link.timeResult.has_value(); }, 1000));
    if (c.shown) {
      EXPECT_EQ(b.link.timeResult, true);
      EXPECT_EQ(b.model.status, "Время установлено. Текущее время: " + *c.shown);
      EXPECT_EQ(b.dialogs.information, std::vector<std::string>{"Время установлено.\rТекущее время: " + *c.shown});
      EXPECT_TRUE(b.dialogs.shown.empty());
    } else {
      EXPECT_EQ(b.link.timeResult, false);
      EXPECT_EQ(b.Shown(), std::vector<std::string>{"Ошибка установки времени\rКод ошибки: 98"});
      EXPECT_TRUE(b.dialogs.shown[0].error);
      EXPECT_EQ(b.model.status, "Ошибка установки времени") << "no time shown; the wait's end says it failed";
      EXPECT_TRUE(b.dialogs.information.empty());
    }
  }
}

TEST(LinkClock, Failures) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&)> setup;
    std::string box;
    std::string sent;
  };
  const std::string error98 = "Ошибка установки времени\rКод ошибки: 98";
  const std::vector<Case> cases = {
      {"not connected",
       [](LinkBench& b) {
         b.faults().silent = true;
         b.ClickPort(0);
       },
       "Устройство не подключено !\rКод ошибки: 92", ""},
      {"no acknowledgement",
       [](LinkBench& b) {
         ASSERT_TRUE(b.Connect());
         b.faults().silent = true;
       },
       error98, "TIME\n"},
      {"late acknowledgement",
       [](LinkBench& b) {
         ASSERT_TRUE(b.Connect());
         b.faults().silent = true;
         b.InjectAt(b.Now() + 102 * kTickMs, "TIME_OK\r\n");
       },
       error98, "TIME\n"},
      {"box cannot be shown",
       [](LinkBench& b) {
         ASSERT_TRUE(b.Connect());
         b.dialogs.failInformation = true;
       },
       "Ошибка установки времени\rКод ошибки: 97", "TIME\n09:05:07\n08-12-26\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bench = std::make_unique<LinkBench>(15);
    LinkBench& b = *bench;
    c.setup(b);
    b.dialogs.Clear();
    const std::size_t mark = b.Mark();
    b.link.N16Click();
    b.Run(10000);
    EXPECT_EQ(b.link.timeResult, false);
    EXPECT_EQ(b.Shown(), std::vector<std::string>{c.box});
    EXPECT_TRUE(b.dialogs.shown[0].error);
    EXPECT_EQ(b.Sent(mark), c.sent);
    EXPECT_FALSE(b.matchers().TimeIn.Enabled());
  }
}

TEST(LinkClock, NoReplyEndsSilently) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  b.Inject("TIME_OK\r\n");
  b.link.N16Click();
  const Millis armed = b.Now();
  ASSERT_TRUE(b.matchers().TimeIn.Enabled());
  b.Run(4000 * kTickMs - 60);
  EXPECT_TRUE(b.matchers().TimeIn.Enabled());
  b.Run(200);
  EXPECT_FALSE(b.matchers().TimeIn.Enabled()) << "disarmed " << b.Now() - armed << " ms after arming";
  EXPECT_TRUE(b.dialogs.shown.empty());
  EXPECT_TRUE(b.dialogs.information.empty());
  EXPECT_FALSE(b.link.timeResult.has_value());
  EXPECT_EQ(b.model.status, "Контроллер не прислал своё время");
}

// ---------------------------------------------------------------- identifiers

// Sixteen identifiers that start with `first` and end with their position's digit.
std::array<std::string, 16> Identifiers(char first) {
  std::array<std::string, 16> ids;
  const std::string digits = "0123456789ABCDEF";
  for (std::size_t k = 0; k < 16; ++k) ids[k] = first + std::string("234ABCD5678EF0") + digits[k];
  return ids;
}

TEST(LinkIdentifiers, ReplyFillsAllSixteenFields) {
  LinkBench b(15);
  std::array<std::string, 16> ids = Identifiers('A');
  ids[3] = "0000000000000000";  // no sensor at position 4
  b.sim().identifiers() = ids;
  ASSERT_TRUE(b.Connect());
  ASSERT_FALSE(b.model.pages.ID[8].visible) << "ID9..ID16 are hidden under version 15";
  const std::size_t mark = b.Mark();
  b.link.ID17Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.idsResult.has_value(); }, 1000));
  EXPECT_EQ(b.link.idsResult, true);
  EXPECT_EQ(b.Sent(mark), "ID\n");
  for (std::size_t k = 0; k < 16; ++k) {
    SCOPED_TRACE(k + 1);
    const std::string field = b.model.ws.working.Raw(L::IdentifierField(k + 1), 16);
    if (k == 3) {
      EXPECT_EQ(b.model.pages.ID[k].text, "");
      EXPECT_EQ(field, kFill16);
    } else {
      EXPECT_EQ(b.model.pages.ID[k].text, ids[k]);
      EXPECT_EQ(field, ids[k]);
    }
  }
  EXPECT_EQ(b.model.ws.working.Raw(4792, 16), kFill16);
  EXPECT_TRUE(b.dialogs.shown.empty());
  EXPECT_FALSE(b.matchers().IDReciev.Enabled());
}

TEST(LinkIdentifiers, RefusedGroupsGetFillCharacters) {
  LinkBench b(15);
  std::array<std::string, 16> ids = Identifiers('B');
  ids[5] = "1234abcd5678ef01";  // lower case
  ids[9] = "1234ABCD5678EFG1";  // not a hexadecimal digit
  b.sim().identifiers() = ids;
  ASSERT_TRUE(b.Connect());
  b.link.ID17Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.idsResult.has_value(); }, 1000));
  EXPECT_EQ(b.Shown(), (std::vector<std::string>{"Значение неверно", "Значение неверно"})) << "once per group";
  for (std::size_t k : {5u, 9u}) {
    EXPECT_EQ(b.model.pages.ID[k].text, "");
    EXPECT_EQ(b.model.ws.working.Raw(L::IdentifierField(k + 1), 16), kFill16);
  }
  EXPECT_EQ(b.model.pages.ID[6].text, ids[6]);
  EXPECT_EQ(b.model.pages.ID[15].text, ids[15]);
}

TEST(LinkIdentifiers, ShortReplyLeavesTheMissingPositions) {
  LinkBench b(15);
  const std::array<std::string, 16> first = Identifiers('C');
  b.sim().identifiers() = first;
  ASSERT_TRUE(b.Connect());
  b.link.ID17Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.idsResult.has_value(); }, 1000));

  b.faults().silent = true;
  const std::array<std::string, 16> second = Identifiers('D');
  b.link.ID17Click();
  b.Inject(second[0] + second[1] + second[2] + second[3].substr(0, 9) + "\r\n");
  ASSERT_TRUE(b.RunUntil([&] { return b.link.idsResult.has_value(); }, 1000));
  EXPECT_EQ(b.link.idsResult, true);
  for (std::size_t k = 0; k < 16; ++k) {
    SCOPED_TRACE(k + 1);
    const std::string& expected = k < 3 ? second[k] : first[k];
    EXPECT_EQ(b.model.pages.ID[k].text, expected);
    EXPECT_EQ(b.model.ws.working.Raw(L::IdentifierField(k + 1), 16), expected);
  }
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkIdentifiers, NoReplyChangesNothing) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  const ConfigImage working = b.model.ws.working;
  b.link.ID17Click();
  EXPECT_TRUE(b.matchers().IDReciev.Enabled());
  b.Run(2002 * kTickMs);
  EXPECT_FALSE(b.matchers().IDReciev.Enabled()) << "disarmed by its time-out";
  EXPECT_FALSE(b.link.idsResult.has_value());
  EXPECT_EQ(b.model.ws.working.bytes(), working.bytes());
  EXPECT_TRUE(b.dialogs.shown.empty());
}

// ---------------------------------------------------------------- status window

TEST(LinkStatus, BlockFillsTheWindow) {
  LinkBench b(15);
  sim::StatusBlock& status = b.sim().status();
  status.inputs = {true, false, false, false, false, false, false, true};
  for (std::size_t k = 0; k < 8; ++k) {
    status.analog[k] = std::to_string(100 + k);
    status.sensors[k] = "+2" + std::to_string(k) + ".5";
  }
  status.key = "0000001234ABCDEF";
  ASSERT_TRUE(b.Connect());
  const std::size_t mark = b.Mark();
  b.link.Button1Click();
  EXPECT_EQ(b.Sent(mark), "");
  ASSERT_TRUE(b.RunUntil([&] { return b.link.statusResult.has_value(); }, 1000));
  EXPECT_EQ(b.Sent(mark), "STAT\n");
  EXPECT_EQ(b.link.form5.Inputs, (std::array<bool, 8>{true, false, false, false, false, false, false, true}))
      << "line 1 is 10000001: inputs 8 and 1";
  for (std::size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(b.link.form5.ACP[k], std::to_string(100 + k));
    EXPECT_EQ(b.link.form5.Dat[k], "+2" + std::to_string(k) + ".5");
  }
  EXPECT_EQ(b.link.form5.TM, "0000001234ABCDEF");
  EXPECT_FALSE(b.matchers().GetStatus.Enabled());
  EXPECT_TRUE(b.dialogs.shown.empty());
}

TEST(LinkStatus, LineEndingsAndShortBlocks) {
  struct Case {
    const char* name;
    std::string block;  // between "STATUS\r\n" and "ENDSTATUS\r\n"
    std::array<bool, 8> inputs;
    std::string acp1, acp8, dat8, tm;
  };
  std::string crlf = "01100000\r\n", cr = "01100000\r", mixed = "01100000\r";
  for (int line = 2; line <= 18; ++line) {
    const std::string text = "L" + std::to_string(line);
    crlf += text + "\r\n";
    cr += text + "\r";
    mixed += (line % 2 ? "\n" : "") + std::string("L\n") + std::to_string(line) + "\r";
  }
  const std::array<bool, 8> six7 = {false, false, false, false, false, true, true, false};
  const std::array<bool, 8> before = {true, true, true, true, true, true, true, true};
  const std::vector<Case> cases = {
      {"CR LF", crlf, six7, "L2", "L9", "L17", "L18"},
      {"CR", cr, six7, "L2", "L9", "L17", "L18"},
      {"LF inside lines", mixed, six7, "L2", "L9", "L17", "L18"},
      {"three lines", "0\r\nA\r\nB\r\n", {true, true, true, true, true, true, true, false}, "A", "old", "old", "old"},
      {"last line without CR",
       "00000000\r\nA\r\nB",
       {false, false, false, false, false, false, false, false},
       "A",
       "old",
       "old",
       "old"},
      {"empty", "", before, "old", "old", "old", "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(15);
    ASSERT_TRUE(b.Connect());
    b.faults().silent = true;
    b.link.form5.Inputs = before;
    b.link.form5.ACP.fill("old");
    b.link.form5.Dat.fill("old");
    b.link.form5.TM = "old";
    b.link.Button1Click();
    b.Inject("STATUS\r\n" + c.block + "ENDSTATUS\r\n");
    ASSERT_TRUE(b.RunUntil([&] { return b.link.statusResult.has_value(); }, 1000));
    EXPECT_EQ(b.link.form5.Inputs, c.inputs);
    EXPECT_EQ(b.link.form5.ACP[0], c.acp1);
    EXPECT_EQ(b.link.form5.ACP[7], c.acp8);
    EXPECT_EQ(b.link.form5.Dat[7], c.dat8);
    EXPECT_EQ(b.link.form5.TM, c.tm);
  }
}

TEST(LinkStatus, NoBlockLeavesTheFields) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().silent = true;
  b.link.form5.TM = "kept";
  b.link.Button1Click();
  b.Run(60000);
  EXPECT_TRUE(b.matchers().GetStatus.Enabled()) << "waits for its start without limit";
  EXPECT_EQ(b.link.form5.TM, "kept");
  EXPECT_TRUE(b.dialogs.shown.empty());
}

// The status request and the identifier query on a connection that is absent,
// or on a port that can no longer send.
TEST(LinkServices, RequestsThatCannotBeMade) {
  struct Request {
    const char* name;
    std::function<void(ControllerLink&)> run;
    std::function<std::optional<bool>(ControllerLink&)> result;
    std::function<bool(ProgramMatchers&)> armed;
  };
  const std::vector<Request> requests = {
      {"ID", [](ControllerLink& l) { l.ID17Click(); }, [](ControllerLink& l) { return l.idsResult; },
       [](ProgramMatchers& m) { return m.IDReciev.Enabled(); }},
      {"STAT", [](ControllerLink& l) { l.Button1Click(); }, [](ControllerLink& l) { return l.statusResult; },
       [](ProgramMatchers& m) { return m.GetStatus.Enabled(); }},
  };
  for (const Request& r : requests) {
    SCOPED_TRACE(r.name);
    {
      LinkBench b(15);
      b.faults().silent = true;
      b.ClickPort(0);
      const std::size_t mark = b.Mark();
      r.run(b.link);
      b.Run(100);
      EXPECT_EQ(r.result(b.link), false);
      ASSERT_EQ(b.Shown(), std::vector<std::string>{"Устройство не подключено !"});
      EXPECT_FALSE(b.dialogs.shown[0].error) << "a plain message box";
      EXPECT_EQ(b.Sent(mark), "");
      EXPECT_FALSE(r.armed(b.matchers()));
    }
    {
      LinkBench b(15);
      ASSERT_TRUE(b.Connect());
      b.controller.line().host().SetOpen(false);  // the send is refused
      r.run(b.link);
      EXPECT_EQ(r.result(b.link), false);
      ASSERT_EQ(b.Shown(), std::vector<std::string>{"Ошибка данных - 99\rЗагрузка не удачна!"});
      EXPECT_TRUE(b.dialogs.shown[0].error);
      EXPECT_TRUE(r.armed(b.matchers())) << "the matcher stays armed";
    }
  }
}

// ---------------------------------------------------------------- relays

TEST(LinkRelays, ChangeSendsTheWholePattern) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.link.form5.Releys[0] = true;
  b.link.form5.Releys[7] = true;
  const std::size_t mark = b.Mark();
  b.link.ReleysChange(1, true);
  b.Run(10);
  ASSERT_EQ(b.Sent(mark),
            "RELESET\n"
            "11000001\n");
  EXPECT_EQ(b.SentAt(8, mark) - b.SentAt(0, mark), 60) << "the pattern follows 60 ms later";
  EXPECT_EQ(b.host.pauses.back(), 60);
  EXPECT_EQ(b.sim().relays(), (std::array<bool, 8>{true, true, false, false, false, false, false, true}));
  EXPECT_TRUE(b.dialogs.shown.empty());

  const std::size_t off = b.Mark();
  b.link.ReleysChange(0, false);
  b.Run(10);
  EXPECT_EQ(b.Sent(off),
            "RELESET\n"
            "01000001\n");
}

TEST(LinkRelays, ChangeWithoutConnectionKeepsTheBox) {
  LinkBench b(15);
  b.ClickPort(0);  // searching
  b.link.ReleysChange(2, true);
  EXPECT_TRUE(b.link.form5.Releys[2]) << "the box keeps the state the user gave it";
  EXPECT_EQ(b.Shown(), std::vector<std::string>{"Устройство не подключено !"});
  EXPECT_FALSE(b.dialogs.shown[0].error);
  EXPECT_EQ(b.Sent(), "BYE");

  ASSERT_TRUE(b.RunUntil([&] { return b.model.N13.enabled; }, 10000));
  const std::size_t mark = b.Mark();
  b.link.ReleysChange(4, true);
  b.Run(10);
  EXPECT_EQ(b.Sent(mark),
            "RELESET\n"
            "00101000\n")
      << "the whole pattern, with the earlier box";
}

TEST(LinkRelays, RefusedSendShowsError99) {
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.controller.line().host().SetOpen(false);
  const std::size_t pauses = b.host.pauses.size();
  b.link.ReleysChange(0, true);
  EXPECT_EQ(b.Shown(), std::vector<std::string>{"Ошибка данных - 99\rЗагрузка не удачна!"});
  EXPECT_TRUE(b.dialogs.shown[0].error);
  EXPECT_EQ(b.host.pauses.size(), pauses) << "nothing more is sent";
}

// ---------------------------------------------------------------- master key

TEST(LinkStatus, KeyCodeTakenAsMasterKey) {
  struct Case {
    std::string tm;
    std::string stored;
    std::string masterKey;
    std::vector<std::string> shown;
  };
  for (const Case& c : std::vector<Case>{
           {"0123456789ABCDEF", "0123456789ABCDEF", "0123456789ABCDEF", {}},
           {"", kFill16, "", {}},
           {"12AB", kFill16, "", {"Количество символов должно быть равно 16"}},
           {"0123456789abcdef", kFill16, "", {"Значение неверно"}},
       }) {
    SCOPED_TRACE(c.tm);
    LinkBench b(15);
    b.model.pages.MasterKey.text = "FEDCBA9876543210";
    b.model.pages.MasterKeyExit();
    b.link.form5.TM = c.tm;
    b.link.N1Click();
    EXPECT_EQ(b.model.pages.MasterKey.text, c.masterKey);
    EXPECT_EQ(b.model.ws.working.Raw(L::kMasterKey, 16), c.stored);
    EXPECT_EQ(b.Shown(), c.shown);
    EXPECT_GT(b.pageChanges, 0);
  }
}

}  // namespace
}  // namespace vemtaro::testing
