// F1 opens the guide beside the main window, which goes on taking input: the
// guide is not modal, belongs to the main window (which the window system
// then keeps it in front of) and is opened once. The guide reads in Russian
// first.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

#include "desk.h"
#include "guide_window.h"
#include "model/layout.h"

namespace vemtaro::app {
namespace {

TEST(GuideWindowBesideTheMain, F1OpensItWithoutHoldingTheMainWindow) {
  Desk d;
  // A guide shown modally would hold the test here: this closes it.
  bool wasModal = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      wasModal = true;
      modal->close();
    }
  });
  QTest::keyClick(&d.window, Qt::Key_F1);
  QApplication::processEvents();
  EXPECT_FALSE(wasModal);
  GuideWindow* guide = d.window.HelpWindow;
  ASSERT_NE(guide, nullptr);
  EXPECT_TRUE(guide->isVisible());
  EXPECT_FALSE(guide->isModal());
  EXPECT_EQ(guide->windowModality(), Qt::NonModal);
  ASSERT_NE(guide->windowHandle(), nullptr);
  // A dialog of the main window to the window system: transient for it.
  EXPECT_EQ(guide->windowHandle()->transientParent(), d.window.windowHandle());
  EXPECT_EQ(guide->windowHandle()->type(), Qt::Dialog);
  EXPECT_TRUE(d.window.InputEnabled());

  // The main window takes typing meanwhile.
  QApplication::setActiveWindow(&d.window);
  d.window.RzPageControl1->setCurrentIndex(0);
  auto* objectId = d.window.findChild<QLineEdit*>("ObjectID");
  objectId->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(objectId, "OBJ-3");
  QTest::keyClick(objectId, Qt::Key_Tab);
  EXPECT_EQ(d.model().ws.working.ReadText(layout::kObjectIdLong, layout::kObjectIdLongLength), "OBJ-3");
  EXPECT_TRUE(guide->isVisible());

  // F1 again brings the same window forward, also once it was closed.
  QTest::keyClick(&d.window, Qt::Key_F1);
  EXPECT_EQ(d.window.HelpWindow, guide);
  QTest::keyClick(guide, Qt::Key_Escape);
  EXPECT_FALSE(guide->isVisible());
  QTest::keyClick(&d.window, Qt::Key_F1);
  EXPECT_EQ(d.window.HelpWindow, guide);
  EXPECT_TRUE(guide->isVisible());
  EXPECT_EQ(d.window.findChildren<GuideWindow*>().size(), 1);
  EXPECT_TRUE(d.dialogs.shown.empty());
}

// The Russian text first: the contents, then the chapters, and the English
// summary last. Every text is shown, also after the line breaks of the
// messages in the tables.
TEST(GuideWindowBesideTheMain, TheGuideIsRussianFirst) {
  const QString file = GuideFile(QApplication::applicationDirPath());
  ASSERT_FALSE(file.isEmpty());
  GuideWindow guide(file);
  const QString text = guide.Browser->toPlainText();
  const auto title = text.indexOf("Vemtaro: руководство пользователя");
  const auto contents = text.indexOf("Содержание");
  const auto last = text.indexOf("15. Устранение неполадок");  // the last chapter's heading
  const auto summary = text.lastIndexOf("Summary (English)");
  EXPECT_EQ(title, 0);
  EXPECT_GT(contents, title);
  EXPECT_GT(last, contents);
  EXPECT_LT(text.indexOf("Summary (English)"), last) << "a line of the contents";
  EXPECT_GT(summary, last) << "the summary after the last chapter";
  EXPECT_GT(text.indexOf("Vemtaro configures"), summary);
  EXPECT_GT(text.indexOf("Устройство не подключено !\nКод ошибки: 92"), contents);
  EXPECT_GT(text.indexOf("Что нужно знать о каждой команде"), contents);
}

}  // namespace
}  // namespace vemtaro::app
