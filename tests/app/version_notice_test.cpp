// Connecting to a controller of another firmware version than the working
// configuration's: after the unsaved-changes question the configuration
// follows the controller's version, and the program says so in an
// information box and in the status pane. A controller of the same version
// changes nothing and says nothing more than its version.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include <string>
#include <vector>

#include "desk.h"
#include "marquee_label.h"
#include "model/layout.h"

namespace vemtaro::app {
namespace {

class VersionNoticeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowActive(&d.window)); }

  // Types a password into "Пароль доступа:" and leaves the field with Tab.
  void TypePassword(const QString& text) {
    auto* edit = d.window.findChild<QLineEdit*>("PasswordEdit");
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_FALSE(edit->hasFocus());
  }

  QString Password() const { return d.window.findChild<QLineEdit*>("PasswordEdit")->text(); }
  QString Status() const { return d.window.RzMarqueeStatus1->text(); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& s : d.dialogs.shown) {
      if (!s.error) out.push_back(s.text);
    }
    return out;
  }

  Desk d;
};

// The simulated controller reports version 15; the window works under 12.
TEST_F(VersionNoticeTest, AnotherVersionIsToldWithWhatItReset) {
  d.ChooseVersion(12);
  ASSERT_EQ(d.model().ws.FirmwareVersion, 12);
  TypePassword("1234");
  ASSERT_EQ(d.model().ws.working.Raw(layout::kPassword, 4), "1234");
  d.dialogs.Clear();

  ASSERT_TRUE(d.Connect());
  EXPECT_EQ(d.dialogs.saveChangesAsked, 1) << "asked before the port was chosen";
  EXPECT_EQ(d.model().ws.FirmwareVersion, 15);
  EXPECT_EQ(d.CheckMarks(), (std::vector<bool>{false, false, false, false, false, true}));
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "Контроллер сообщил версию прошивки 15, а конфигурация была для версии 12.\r"
                            "Конфигурация приведена к версии 15: реакции обоих деревьев, пароль доступа, ID датчиков, "
                            "мастер ключ, статусные сообщения, будильники, режим охраны, снятие/постановка по SMS, "
                            "количество попыток отправки и телефон SMS центра сброшены к значениям по умолчанию.\r"
                            "Идентификатор объекта, номера абонентов, задержки входов, длительности реле, зоны и "
                            "задержка постановки сохранены в пределах полей этой версии."});
  EXPECT_EQ(Status(), "Версия прошивки: GSM-ALARM 15 — конфигурация приведена к версии 15, часть настроек сброшена");
  // As the box says: the password is the default again, on the page too.
  EXPECT_EQ(Password(), "");
  EXPECT_EQ(d.model().ws.working.Raw(layout::kPassword, 4), "****");
}

TEST_F(VersionNoticeTest, TheSameVersionTellsNothingMore) {
  TypePassword("1234");
  d.dialogs.Clear();

  ASSERT_TRUE(d.Connect());
  EXPECT_EQ(d.model().ws.FirmwareVersion, 15);
  EXPECT_EQ(Messages(), std::vector<std::string>{});
  EXPECT_EQ(Status(), "Версия прошивки: GSM-ALARM 15");
  EXPECT_EQ(Password(), "1234");
  EXPECT_EQ(d.model().ws.working.Raw(layout::kPassword, 4), "1234");
}

}  // namespace
}  // namespace vemtaro::app
