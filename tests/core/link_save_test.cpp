// Writing the configuration to the controller: the command, the byte-by-byte
// transfer handed over in steps, the checksum, the pacing below version 12, the
// acknowledgements from version 12 on, and every way it fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link_fixture.h"

namespace vemtaro::testing {
namespace {

namespace L = layout;

// What goes over the line for an image: "SAVE\n", then every byte, each
// followed by "\n" below version 12.
std::string Wire(const Bytes& image, int version) {
  std::string wire = "SAVE\n";
  for (std::uint8_t byte : image) {
    wire.push_back(static_cast<char>(byte));
    if (version < 12) wire.push_back('\n');
  }
  return wire;
}

// The box of a write that stopped after bytes had gone out.
const std::string kTransferBox =
    "Ошибка передачи данных!\rКонтроллер может хранить неполную конфигурацию: повторите запись.";

void ExpectWindowsBack(LinkBench& b) {
  EXPECT_FALSE(b.link.progressVisible);
  EXPECT_TRUE(b.link.mainEnabled);
  EXPECT_TRUE(b.link.pagesEnabled);
  EXPECT_TRUE(b.link.fileMenuEnabled);
  EXPECT_TRUE(b.link.portMenuAttached);
  EXPECT_FALSE(b.link.Transferring());
  EXPECT_TRUE(b.ShellUpToDate());
  EXPECT_FALSE(b.port.Held()) << "port events are delivered again";
}

// Edits the working image through the pages, as a user would.
void EditPassword(LinkBench& b, const std::string& password) {
  b.model.pages.PasswordEdit.text = password;
  b.model.pages.PasswordEditExit();
}

// The write alone (no read-back): what goes over the line, the windows, the
// controller's copy, for every version.
TEST(LinkSave, WritesTheImage) {
  struct Case {
    int version;
    std::string ack;
  };
  for (const Case& c : std::vector<Case>{{15, "o"}, {14, "o"}, {13, "O"}, {12, "o"}, {11, ""}, {10, ""}}) {
    SCOPED_TRACE(c.version);
    sim::ControllerOptions options = VersionOptions(c.version);
    if (!c.ack.empty()) options.ack = c.ack;
    LinkBench b(options);
    b.link.verifyAfterWrite = false;
    ASSERT_TRUE(b.Connect());
    EditPassword(b, "5678");
    const std::size_t last = b.model.ws.working.size() - 1;
    b.model.ws.working.SetByte(last, 0x7F);
    const std::size_t mark = b.Mark();
    b.link.N15Click();

    EXPECT_EQ(b.Sent(mark), "SAVE\n");
    EXPECT_TRUE(b.link.progressVisible);
    EXPECT_FALSE(b.link.mainEnabled);
    EXPECT_FALSE(b.link.pagesEnabled);
    EXPECT_FALSE(b.link.fileMenuEnabled);
    EXPECT_FALSE(b.model.N13.enabled);
    EXPECT_FALSE(b.link.portMenuAttached);
    EXPECT_EQ(b.model.status, "Сохранение в контроллер ...");
    EXPECT_EQ(b.model.gaugeMax, static_cast<int>(last + 1));
    EXPECT_TRUE(b.link.Transferring());
    const Bytes sent = b.model.ws.working.bytes();
    if (b.model.ws.ChecksumEnabled) {
      EXPECT_EQ(sent.back(), ImageChecksum(sent)) << "the checksum is stored before sending";
    } else {
      EXPECT_EQ(sent.back(), 0x7F) << "without the checksum the last byte is sent as it is";
    }

    b.Run(5);  // a few hand-overs of up to 40 ms of bytes each
    EXPECT_GT(b.link.gaugePosition, 0);
    EXPECT_EQ(b.link.gaugePosition, static_cast<int>(b.link.TransferCount));
    EXPECT_TRUE(b.link.progressVisible);

    ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 120000));
    EXPECT_EQ(b.link.saveResult, true);
    EXPECT_EQ(b.Sent(mark), Wire(sent, c.version));
    EXPECT_EQ(b.sim().image(), sent) << "the controller holds the image";
    EXPECT_EQ(b.model.ws.working.bytes(), sent);
    EXPECT_EQ(b.model.status, "Сохранение завершено");
    ExpectWindowsBack(b);
    EXPECT_TRUE(b.model.N13.enabled);
    EXPECT_EQ(b.link.TransferCount, 0u);
    EXPECT_TRUE(b.dialogs.shown.empty());

    // The connection goes on: the next exchange is answered.
    b.link.Button1Click();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.statusResult.has_value(); }, 1000));
    EXPECT_EQ(b.link.statusResult, true);
  }
}

// With the checksum on, a 5121-byte image has the checksum written over the
// byte at 5120, which is also the last field of the short image.
TEST(LinkSave, ChecksumReplacesTheLastByteOfTheShortImage) {
  LinkBench b(12);
  b.link.verifyAfterWrite = false;
  ASSERT_TRUE(b.Connect());
  ASSERT_EQ(b.model.ws.working.size(), 5121u);
  b.model.ws.working.SetByte(L::kSmsArming, '1');
  const std::uint8_t checksum = ImageChecksum(b.model.ws.working);
  ASSERT_NE(checksum, '1');
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 60000));
  EXPECT_EQ(b.link.saveResult, true);
  EXPECT_EQ(b.model.ws.working.Byte(5120), checksum);
  EXPECT_EQ(b.sim().image().at(5120), checksum);
  EXPECT_EQ(static_cast<std::uint8_t>(b.Sent().back()), checksum);
}

// Below version 12: the byte, 5 ms, "\n", 5 ms; nothing is awaited.
TEST(LinkSave, OldVersionsArePacedAndNotAcknowledged) {
  LinkBench b(10);
  b.link.verifyAfterWrite = false;
  ASSERT_TRUE(b.Connect());
  const std::size_t mark = b.Mark();
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 120000));
  EXPECT_EQ(b.link.saveResult, true);
  const std::string sent = b.Sent(mark);
  ASSERT_EQ(sent, Wire(b.model.ws.working.bytes(), 10));
  for (std::size_t k = 0; k < 5; ++k) {
    const std::size_t byte = 5 + 2 * k;
    const Millis byteAt = b.SentAt(byte, mark);
    const Millis lineEndAt = b.SentAt(byte + 1, mark);
    const Millis nextAt = b.SentAt(byte + 2, mark);
    EXPECT_EQ(lineEndAt - byteAt, 5) << k;
    EXPECT_GE(nextAt - lineEndAt, 5) << k;
    EXPECT_LE(nextAt - lineEndAt, 7) << k;
  }
  EXPECT_EQ(b.host.pauses.back(), 5);
}

// A byte whose "o" is late or lost is sent again, up to three times.
constexpr std::size_t kByte = 50;

TEST(LinkSave, UnacknowledgedByteIsSentAgain) {
  struct Case {
    const char* name;
    std::function<void(sim::Faults&)> fault;
    int sends;  // of the byte at kByte
  };
  // clang-format off
  for (const Case& c : std::vector<Case>{
           {"late acknowledgement", [](sim::Faults& f) {
             f.lateAckAt = kByte;
             f.lateAckMs = 400;
           }, 2},
           {"one lost", [](sim::Faults& f) {
             f.dropAckAt = kByte;
             f.dropAckCount = 1;
           }, 2},
           {"two lost", [](sim::Faults& f) {
             f.dropAckAt = kByte;
             f.dropAckCount = 2;
           }, 3},
       }) {
    // clang-format on
    SCOPED_TRACE(c.name);
    LinkBench b(15);
    b.link.verifyAfterWrite = false;
    ASSERT_TRUE(b.Connect());
    c.fault(b.faults());
    const std::size_t mark = b.Mark();
    b.link.N15Click();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 60000));
    EXPECT_EQ(b.link.saveResult, true);
    const Bytes image = b.model.ws.working.bytes();
    std::string expected = "SAVE\n" + Str(Bytes(image.begin(), image.begin() + kByte));
    expected.append(static_cast<std::size_t>(c.sends), static_cast<char>(image[kByte]));
    expected += Str(Bytes(image.begin() + kByte + 1, image.end()));
    EXPECT_EQ(b.Sent(mark), expected);
    EXPECT_EQ(b.sim().image(), image) << "the late \"o\" was taken for the repeated byte";
    EXPECT_TRUE(b.dialogs.shown.empty());
  }
}

TEST(LinkSave, Failures) {
  struct Case {
    const char* name;
    std::function<void(LinkBench&)> setup;
    std::string box;
    bool errorBox;
    std::string statusDuringBox;
    std::string statusAfter;
    std::optional<std::size_t> sentBytes;  // image bytes sent, in order, once each
  };
  const auto connected = [](std::function<void(LinkBench&)> more) {
    return [more](LinkBench& b) {
      ASSERT_TRUE(b.Connect());
      if (more) more(b);
    };
  };
  const std::string transfer = kTransferBox;
  const std::vector<Case> cases = {
      {"not connected",
       [](LinkBench& b) {
         b.faults().silent = true;
         b.ClickPort(0);
       },
       "Устройство не подключено !\rКод ошибки: 92", true, "Ожидание ответа контроллера на порту COM1 ...",
       "Сохранение неудачно!!!", std::nullopt},
      {"no SAVE_OK", connected([](LinkBench& b) { b.faults().silent = true; }),
       "Ошибка соединения с устройством !\rКод ошибки: 93", true, "Сохранение в контроллер ...",
       "Сохранение неудачно!!!", 0},
      {"no final SAVE_OK", connected([](LinkBench& b) { b.faults().noFinalSaveOk = true; }), transfer, false,
       "Сохранение неудачно", "Сохранение неудачно", 5484},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bench = std::make_unique<LinkBench>(15);
    LinkBench& b = *bench;
    c.setup(b);
    b.dialogs.Clear();
    std::string statusDuringBox;
    Millis boxAt = -1;
    b.dialogs.onShow = [&](const std::string&) {
      statusDuringBox = b.model.status;
      boxAt = b.Now();
    };
    const std::size_t mark = b.Mark();
    const Millis start = b.Now();
    b.link.N15Click();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 60000));
    b.Run(100);

    EXPECT_EQ(b.link.saveResult, false);
    ASSERT_EQ(b.dialogs.shown.size(), 1u);
    EXPECT_EQ(b.dialogs.shown[0].text, c.box);
    EXPECT_EQ(b.dialogs.shown[0].error, c.errorBox);
    EXPECT_EQ(statusDuringBox, c.statusDuringBox);
    EXPECT_EQ(b.model.status, c.statusAfter);
    ExpectWindowsBack(b);
    EXPECT_TRUE(b.model.N13.enabled) << "the exchange menu is enabled again";
    const Bytes image = b.model.ws.working.bytes();
    if (!c.sentBytes) {
      EXPECT_EQ(b.Sent(mark), "");
    } else {
      EXPECT_EQ(b.Sent(mark), "SAVE\n" + Str(Bytes(image.begin(), image.begin() + *c.sentBytes)));
    }
    if (std::string(c.name) == "no SAVE_OK") {
      EXPECT_GT(boxAt - start, 100 * kTickMs);
      EXPECT_LE(boxAt - start, 101 * kTickMs);
    }
    if (std::string(c.name) == "no final SAVE_OK") {
      EXPECT_EQ(image.back(), ImageChecksum(image)) << "the checksum stays in the image";
      const Millis lastByteAt = b.SentAt(5 + 5483, mark);
      EXPECT_GT(boxAt - lastByteAt, 40 * kTickMs) << "the final wait of 40 ticks";
      EXPECT_LE(boxAt - lastByteAt, 41 * kTickMs + 5);
    }
  }
}

// Three sends of one byte without an answer end the transfer there: bytes 0..k
// went out, byte k three times, and no final wait follows.
TEST(LinkSave, ByteNeverAcknowledgedEndsTheTransfer) {
  constexpr std::size_t k = 100;
  LinkBench b(15);
  ASSERT_TRUE(b.Connect());
  b.faults().dropAckAt = k;
  b.faults().dropAckCount = 3;
  std::string statusDuringBox;
  Millis boxAt = -1;
  b.dialogs.onShow = [&](const std::string&) {
    statusDuringBox = b.model.status;
    boxAt = b.Now();
  };
  const std::size_t mark = b.Mark();
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 60000));
  b.Run(3000);
  EXPECT_EQ(b.link.saveResult, false);
  const Bytes image = b.model.ws.working.bytes();
  EXPECT_EQ(image.back(), ImageChecksum(image)) << "the checksum stays in the image";
  std::string expected = "SAVE\n" + Str(Bytes(image.begin(), image.begin() + k));
  expected.append(3, static_cast<char>(image[k]));
  EXPECT_EQ(b.Sent(mark), expected);
  EXPECT_EQ(b.Shown(), std::vector<std::string>{kTransferBox});
  EXPECT_FALSE(b.dialogs.shown[0].error);
  EXPECT_EQ(statusDuringBox, "Сохранение неудачно");
  EXPECT_EQ(b.model.status, "Сохранение неудачно");
  const Millis thirdSendAt = b.SentAt(5 + k + 2, mark);
  EXPECT_LE(boxAt - thirdSendAt, 6 * kTickMs + 5) << "one byte wait, no final wait";
  ExpectWindowsBack(b);
  EXPECT_TRUE(b.model.N13.enabled);

  // The controller has given up the write by now; the next exchange works.
  b.link.Button1Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.statusResult.has_value(); }, 1000));
  EXPECT_EQ(b.link.statusResult, true);
}

// A port lost while the image goes out ends the write at once, saying that
// the controller may hold part of it: a program that stops driving the link
// when its port is gone (the command line) says so too. The steps still
// handed over do nothing.
TEST(LinkSave, LostPortFailsTheWrite) {
  for (int version : {15, 10}) {
    SCOPED_TRACE(version);
    LinkBench b(version);
    ASSERT_TRUE(b.Connect());
    b.link.backups = nullptr;
    b.link.N15Click();
    b.Run(5);
    ASSERT_TRUE(b.link.progressVisible);
    b.LosePort();
    EXPECT_EQ(b.link.saveResult, false) << "ended by the loss itself";
    EXPECT_EQ(b.Shown(), std::vector<std::string>{kTransferBox});
    b.Run(100);
    EXPECT_EQ(b.link.saveResult, false);
    EXPECT_EQ(b.Shown(), std::vector<std::string>{kTransferBox});
    EXPECT_EQ(b.model.status, "Сохранение неудачно");
    EXPECT_EQ(b.link.comStatus, "Нет связи с портом COM1");
    ExpectWindowsBack(b);
    EXPECT_FALSE(b.model.N13.enabled);
    EXPECT_TRUE(b.host.posted.empty()) << "the transfer has ended";
  }
}

}  // namespace
}  // namespace vemtaro::testing
