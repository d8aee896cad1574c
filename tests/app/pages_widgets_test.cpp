// The settings pages as a user meets them: real widgets offscreen, typed into
// and clicked with QTest, over a started MainModel.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "hand.h"
#include "model/layout.h"
#include "pages/byte_spin_box.h"
#include "pages/common_page.h"
#include "pages/guard_page.h"
#include "pages/identifiers_panel.h"
#include "pages/setup_page.h"
#include "scripted_dialogs.h"
#include "trees/reaction_trees.h"
#include "window/main_model.h"

namespace {

using vemtaro::MainModel;
using vemtaro::app::ByteSpinBox;
using vemtaro::app::CommonPage;
using vemtaro::app::GuardPage;
using vemtaro::app::IdentifiersPanel;
using vemtaro::app::PageWidget;
using vemtaro::app::PlusButtonCentre;
using vemtaro::app::SetupPage;
namespace L = vemtaro::layout;

constexpr int kPageWidth = 510;
constexpr int kPageHeight = 430;

// A click on a check box or radio button, on its indicator.
void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

// Dialogs whose message box takes the focus, as a real one does.
class FocusTakingDialogs : public vemtaro::testing::ScriptedDialogs {
 public:
  QWidget* focusTo = nullptr;
  void ShowMessage(const std::string& text) override {
    ScriptedDialogs::ShowMessage(text);
    if (focusTo != nullptr) focusTo->setFocus(Qt::OtherFocusReason);
  }
};

// The four page widgets in one window; after every handler all of them show
// the core's state again, as the main window does.
class PagesWidgetsTest : public ::testing::Test {
 protected:
  PagesWidgetsTest() {
    model.Startup();
    dialogs.Clear();
    auto* row = new QHBoxLayout(&window);
    pages = {new CommonPage(model), new SetupPage(model), new GuardPage(model), new IdentifiersPanel(model)};
    for (PageWidget* page : pages) {
      row->addWidget(page);
      QObject::connect(page, &PageWidget::modelChanged, &window, [this] { RefreshAll(); });
    }
  }

  void RefreshAll() {
    for (PageWidget* page : pages) page->Refresh();
  }

  // Shows the window and makes it the active one, so that focus moves.
  bool Activate() {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
  }

  template <class W>
  W* Find(const char* name) {
    W* w = window.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  std::string Image(std::size_t offset, std::size_t length) const { return model.ws.working.Raw(offset, length); }

  static void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }

  FocusTakingDialogs dialogs;
  MainModel model{dialogs};
  QWidget window;
  std::vector<PageWidget*> pages;
};

const std::string kWrongNumber = "Неправильно набран номер";

TEST_F(PagesWidgetsTest, AbonentNo2RejectsAWrongCharacterAsSoonAsItIsTyped) {
  auto* edit = Find<QLineEdit>("AbonentNo2");
  QTest::keyClicks(edit, "+7 91");
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(Image(L::kPhonesLong + 16, 16), "+7 91***********");

  QTest::keyClick(edit, 'x');
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kWrongNumber});
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_EQ(Image(L::kPhonesLong + 16, 16), std::string(16, '*'));
  EXPECT_TRUE(model.ws.abonents[1].empty());
}

TEST_F(PagesWidgetsTest, OtherNumbersAreCheckedOnlyWhenLeft) {
  ASSERT_TRUE(Activate());
  auto* edit = Find<QLineEdit>("AbonentNo3");
  edit->setFocus();
  QTest::keyClicks(edit, "12x");
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(edit->text(), "12x");
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kWrongNumber});
  EXPECT_TRUE(edit->text().isEmpty());
}

TEST_F(PagesWidgetsTest, LeavingAnEmptyNumberClearsItsPhoneSlots) {
  ASSERT_TRUE(Activate());
  auto* edit = Find<QLineEdit>("AbonentNo4");
  edit->setFocus();
  QTest::keyClicks(edit, "+7 916 000");
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_EQ(Image(L::kPhonesLong + 3 * 16, 16), "+7 916 000******");
  EXPECT_EQ(model.ws.abonents[3], "+7 916 000");

  // Reaction blocks that call subscriber 4, and one that calls subscriber 3.
  const std::size_t slot0 = L::kBlockPhones;
  const std::size_t slot5 = 5 * L::kBlockLength + L::kBlockPhones + 3;
  model.ws.working.SetByte(slot0, '4');
  model.ws.working.SetByte(slot0 + 1, '3');
  model.ws.working.SetByte(slot5, '4');

  edit->setFocus();
  Retype(edit, "");
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_EQ(model.ws.working.Byte(slot0), std::uint8_t{'N'});
  EXPECT_EQ(model.ws.working.Byte(slot0 + 1), std::uint8_t{'3'});
  EXPECT_EQ(model.ws.working.Byte(slot5), std::uint8_t{'N'});
  EXPECT_EQ(Image(L::kPhonesLong + 3 * 16, 16), std::string(16, '*'));
  EXPECT_TRUE(model.ws.abonents[3].empty());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PagesWidgetsTest, AMessageBoxTakingTheFocusDoesNotRunTheHandlerAgain) {
  // The message box takes the focus from the edit, which then reports that it
  // was left while its handler still runs.
  struct Case {
    const char* edit;
    const char* keys;
    bool leave;
  };
  const Case cases[] = {{"AbonentNo2", "1x", false}, {"AbonentNo5", "1-2", true}};  // left with Tab
  ASSERT_TRUE(Activate());
  dialogs.focusTo = Find<QLineEdit>("ObjectID");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    dialogs.Clear();
    auto* edit = Find<QLineEdit>(c.edit);
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, c.keys);
    if (c.leave) QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kWrongNumber});
    EXPECT_TRUE(edit->text().isEmpty());
  }
}

TEST_F(PagesWidgetsTest, EnterStoresTheObjectIdentifierAndMovesTheFocusOn) {
  ASSERT_TRUE(Activate());
  auto* objectId = Find<QLineEdit>("ObjectID");
  EXPECT_TRUE(objectId->toolTip().startsWith("Идентификационный номер объекта\n"));
  EXPECT_EQ(objectId->maxLength(), 10);
  objectId->setFocus();
  QTest::keyClicks(objectId, "A12");
  QTest::keyClick(objectId, Qt::Key_Return);
  EXPECT_FALSE(objectId->hasFocus());
  EXPECT_EQ(Image(L::kObjectIdLong, 10), "A12*******");

  // An emptied password keeps the stored one.
  auto* password = Find<QLineEdit>("PasswordEdit");
  password->setFocus();
  QTest::keyClicks(password, "1234");
  QTest::keyClick(password, Qt::Key_Return);
  EXPECT_FALSE(password->hasFocus());
  EXPECT_EQ(Image(L::kPassword, 8), "1234****");
  password->setFocus();
  Retype(password, "");
  QTest::keyClick(password, Qt::Key_Return);
  EXPECT_EQ(Image(L::kPassword, 8), "1234****");
}

TEST_F(PagesWidgetsTest, ChoosingAnOperatorRowStoresItsNumber) {
  ASSERT_TRUE(Activate());
  auto* combo = Find<QComboBox>("CenterPhone");
  EXPECT_EQ(combo->currentText(), "+79168999100");
  QAbstractItemView* view = combo->view();
  ASSERT_EQ(view->model()->columnCount(), 2);
  EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), "Оператор");
  EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), "Телефон");

  combo->showPopup();
  const QModelIndex ural = view->model()->index(6, 0);
  ASSERT_EQ(ural.data().toString(), "Мегафон(Урал)");
  view->scrollTo(ural);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(ural).center());
  EXPECT_EQ(combo->lineEdit()->text(), "+79222909090");
  EXPECT_EQ(model.pages.CenterPhone.text, "+79222909090");
  EXPECT_EQ(Image(L::kCenterPhoneLong, 16), "+79222909090****");
}

TEST_F(PagesWidgetsTest, TheSmsCentreChecksEveryChange) {
  auto* edit = Find<QComboBox>("CenterPhone")->lineEdit();
  Retype(edit, "+7901");
  EXPECT_EQ(Image(L::kCenterPhoneLong, 16), "+7901***********");
  QTest::keyClick(edit, 'q');
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kWrongNumber});
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_EQ(Image(L::kCenterPhoneLong, 16), std::string(16, '*'));

  // A click on the edit stores its number once more.
  Retype(edit, "+7902");
  model.ws.working.SetRaw(L::kCenterPhoneLong, "0000000000000000");
  QTest::mouseClick(edit, Qt::LeftButton);
  EXPECT_EQ(Image(L::kCenterPhoneLong, 16), "+7902***********");
}

TEST_F(PagesWidgetsTest, StatusChecksStoreTheirFields) {
  auto* hours = Find<QGroupBox>("StatusSMS");
  EXPECT_EQ(hours->title(), "Отправка статусного сообщения (часы)");
  Click(hours->findChild<QCheckBox*>("StatusSMS_3"));
  EXPECT_EQ(Image(L::kStatusSms, 4), "0010");

  auto* kinds = Find<QGroupBox>("StatusMessages");
  Click(kinds->findChild<QCheckBox*>("StatusMessages_2"));
  EXPECT_EQ(Image(L::kStatusMessages, 1), "4");
  Click(kinds->findChild<QCheckBox*>("StatusMessages_3"));
  EXPECT_EQ(Image(L::kStatusMessages, 1), "6");
}

// The number part of a spin box.
QLineEdit* NumberOf(QSpinBox* spin) { return spin->findChild<QLineEdit*>(); }

TEST_F(PagesWidgetsTest, APressOnTheNumberSetsTheStepOfThePlusButton) {
  window.show();
  struct Case {
    const char* spin;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    int step;
    std::size_t offset;
  };
  const Case cases[] = {
      {"Input5", Qt::RightButton, Qt::NoModifier, 10, L::kInputDelays + 8},
      {"Rele7", Qt::LeftButton, Qt::NoModifier, 1, L::kReleDurations + 12},
      {"Rele7", Qt::LeftButton, Qt::ControlModifier, 10, L::kReleDurations + 12},
  };
  // The relays are on their own sub-page.
  auto* setup = window.findChild<SetupPage*>();
  setup->tabs()->setCurrentWidget(Find<QWidget>("TabSheet4"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spin);
    auto* spin = Find<ByteSpinBox>(c.spin);
    const int before = spin->value();
    QTest::mouseClick(NumberOf(spin), c.button, c.modifiers, NumberOf(spin)->rect().center());
    QTest::mouseClick(spin, Qt::LeftButton, Qt::NoModifier, PlusButtonCentre(spin));
    EXPECT_EQ(spin->value(), before + c.step);
    EXPECT_EQ(model.ws.working.ReadHexPair(c.offset), before + c.step);
  }
  // The step stays until the next press on the number; a plain one sets it to 1.
  auto* rele = Find<ByteSpinBox>("Rele7");
  QTest::mouseClick(rele, Qt::LeftButton, Qt::ControlModifier, PlusButtonCentre(rele));
  EXPECT_EQ(rele->value(), 21);
  QTest::mouseClick(NumberOf(rele), Qt::LeftButton);
  QTest::mouseClick(rele, Qt::LeftButton, Qt::NoModifier, PlusButtonCentre(rele));
  EXPECT_EQ(rele->value(), 22);
}

TEST_F(PagesWidgetsTest, TypedValuesAreClampedAndEnterMovesOn) {
  ASSERT_TRUE(Activate());
  auto* spin = Find<ByteSpinBox>("Input5");
  spin->setFocus();
  NumberOf(spin)->selectAll();
  QTest::keyClicks(spin, "300");
  QTest::keyClick(spin, Qt::Key_Return);
  EXPECT_EQ(spin->value(), 255);
  EXPECT_EQ(Image(L::kInputDelays + 8, 2), "FF");
  EXPECT_FALSE(spin->hasFocus());

  spin->setFocus();
  NumberOf(spin)->selectAll();
  QTest::keyClicks(spin, "200");
  QTest::keyClick(spin, Qt::Key_Return);
  EXPECT_EQ(Image(L::kInputDelays + 8, 2), "C8");
}

TEST_F(PagesWidgetsTest, ARelayAtZeroShowsItsInfinityMarker) {
  auto* rele = Find<ByteSpinBox>("Rele7");
  auto* marker = Find<QLabel>("Panel7");
  EXPECT_EQ(marker->text(), "∞");
  EXPECT_EQ(marker->parentWidget(), rele);
  EXPECT_TRUE(marker->isVisibleTo(rele));
  EXPECT_EQ(Image(L::kReleDurations + 12, 2), "00");

  QTest::keyClick(rele, Qt::Key_Up);
  EXPECT_EQ(rele->value(), 1);
  EXPECT_FALSE(marker->isVisibleTo(rele));
  EXPECT_EQ(Image(L::kReleDurations + 12, 2), "01");
  EXPECT_TRUE(Find<QLabel>("Panel6")->isVisibleTo(Find<ByteSpinBox>("Rele6")));

  QTest::keyClick(rele, Qt::Key_Down);
  EXPECT_TRUE(marker->isVisibleTo(rele));
  EXPECT_EQ(Image(L::kReleDurations + 12, 2), "00");
}

TEST_F(PagesWidgetsTest, ForbiddingGuardModeDisablesItsControlsAndReshapesTheTree) {
  window.show();
  auto* zones = Find<QGroupBox>("Zones");
  Click(zones->findChild<QCheckBox*>("Zones_2"));
  Click(zones->findChild<QCheckBox*>("Zones_3"));
  EXPECT_EQ(Image(L::kZones, 2), "06");
  auto* vihod = Find<ByteSpinBox>("Vihod");
  QTest::keyClick(vihod, Qt::Key_Up);
  EXPECT_EQ(Image(L::kArmingDelay, 2), "01");

  auto* forbidden = Find<QRadioButton>("Ohr_2");
  EXPECT_EQ(forbidden->text(), "Режим запрещен");
  Click(forbidden);
  EXPECT_EQ(model.pages.Ohr.index, 1);
  const std::vector<QWidget*> guarded = {zones, Find<QGroupBox>("AZones"), Find<QCheckBox>("OhrSMS"), vihod};
  for (QWidget* w : guarded) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(zones->findChild<QCheckBox*>("Zones_2")->isChecked());
  EXPECT_EQ(vihod->value(), 0);
  EXPECT_EQ(Image(L::kArmingDelay, 2), "00");
  EXPECT_EQ(Image(L::kGuardMode, 1), "0");
  EXPECT_EQ(model.Tree1.top(L::kGuardSource)->text, vemtaro::tree_texts::kTouchKey);

  Click(Find<QRadioButton>("Ohr_1"));
  for (QWidget* w : guarded) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_EQ(Image(L::kGuardMode, 1), "1");
  EXPECT_EQ(model.Tree1.top(L::kGuardSource)->text, vemtaro::tree_texts::kGuard);
}

TEST_F(PagesWidgetsTest, SmsArmingAndTheMasterKeyStoreTheirFields) {
  window.show();
  Click(Find<QCheckBox>("OhrSMS"));
  EXPECT_EQ(Image(L::kSmsArming, 1), "1");
  Click(Find<QGroupBox>("AZones")->findChild<QCheckBox*>("AZones_8"));
  EXPECT_EQ(Image(L::kAnalogZones, 2), "80");

  auto* key = Find<QLineEdit>("MasterKey");
  EXPECT_EQ(key->maxLength(), 16);
  ASSERT_TRUE(Activate());
  key->setFocus();
  QTest::keyClicks(key, "00112233AABBCCDD");
  QTest::keyClick(key, Qt::Key_Tab);
  EXPECT_EQ(Image(L::kMasterKey, 16), "00112233AABBCCDD");
}

TEST_F(PagesWidgetsTest, WrongIdentifiersAreRejectedAndEmptied) {
  struct Case {
    const char* text;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {"0123456789ABCDEF", nullptr},
      {"0123456789abcdef", "Значение неверно"},
      {"0123456789ABCDE", "Количество символов должно быть равно 16"},
  };
  auto* id3 = Find<QLineEdit>("ID3");
  EXPECT_EQ(id3->maxLength(), 16);
  ASSERT_TRUE(Activate());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    dialogs.Clear();
    id3->setFocus();
    Retype(id3, QString::fromLatin1(c.text));
    QTest::keyClick(id3, Qt::Key_Tab);
    const std::string field = Image(L::IdentifierField(3), 16);
    if (c.message == nullptr) {
      EXPECT_TRUE(dialogs.shown.empty());
      EXPECT_EQ(id3->text(), c.text);
      EXPECT_EQ(field, c.text);
    } else {
      EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{c.message});
      EXPECT_TRUE(id3->text().isEmpty());
      EXPECT_EQ(field, std::string(16, '*'));
    }
  }
}

TEST_F(PagesWidgetsTest, VersionProfilesShowTheirControlsAndCaptions) {
  struct Case {
    int version;
    bool upperIds;
    bool analogue;     // TabSheet3, TimeAfterReaction, AZones
    bool statusKinds;  // the StatusMessages group
    const char* label1;
    const char* label7;
    const char* relays;
  };
  const Case cases[] = {
      {10, true, false, false, "Задержки реакции по контактным входам\n(1 ед. = 0,5 сек)",
       "Задержка реакции по аналоговым входам\n(1 ед. = 0.5 сек)", "Длительность включения реле (1 ед.=0.5 сек)"},
      {12, false, false, true, "Задержки реакции по контактным входам\n(1 ед. = 0,5 сек)",
       "Задержка реакции по аналоговым входам\n(1 ед. = 0.5 сек)", "Длительность включения реле (1 ед.=0.5 сек)"},
      {15, false, true, true, "Задержки реакции по контактным входам\n(1 ед. = 1 сек)",
       "Задержка реакции по аналоговым входам\n(1 ед. = 1 сек)", "Длительность включения реле (1 ед.=1 сек)"},
  };
  auto* ids = window.findChild<IdentifiersPanel*>();
  auto* setup = window.findChild<SetupPage*>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    model.ApplyProfile(c.version);
    RefreshAll();
    for (int k = 9; k <= 16; ++k) {
      EXPECT_EQ(Find<QLineEdit>(("ID" + std::to_string(k)).c_str())->isVisibleTo(ids), c.upperIds) << k;
      EXPECT_EQ(Find<QLabel>(("Label" + std::to_string(k + 10)).c_str())->isVisibleTo(ids), c.upperIds) << k;
    }
    EXPECT_TRUE(Find<QLineEdit>("ID8")->isVisibleTo(ids));
    EXPECT_EQ(setup->tabs()->isTabEnabled(setup->tabs()->indexOf(Find<QWidget>("TabSheet3"))), c.analogue);
    EXPECT_EQ(Find<QGroupBox>("TimeAfterReaction")->isEnabled(), c.analogue);
    EXPECT_EQ(Find<QGroupBox>("AZones")->isEnabled(), c.analogue);
    EXPECT_EQ(Find<QGroupBox>("StatusMessages")->isEnabled(), c.statusKinds);
    EXPECT_EQ(Find<QLabel>("Label1")->text().toStdString(), c.label1);
    EXPECT_EQ(Find<QLabel>("Label7")->text().toStdString(), c.label7);
    EXPECT_EQ(Find<QGroupBox>("RzGroupBox2")->title().toStdString(), c.relays);
    const int phoneWidth = c.version == 15 ? 16 : 12;
    EXPECT_EQ(Find<QComboBox>("CenterPhone")->lineEdit()->maxLength(), phoneWidth);
    EXPECT_EQ(Find<QLineEdit>("AbonentNo9")->maxLength(), phoneWidth);
  }
}

TEST_F(PagesWidgetsTest, AReadImageIsShownInTheWidgets) {
  model.ws.incoming = model.ws.working;
  model.ws.incoming.SetRaw(L::kReleDurations, "0f");
  model.ws.incoming.SetRaw(L::kCenterPhoneLong, "+79202909090****");
  model.ws.incoming.SetRaw(L::kGuardMode, "0");
  ASSERT_TRUE(model.pages.ApplyIncomingImage(false));
  RefreshAll();
  EXPECT_EQ(Find<ByteSpinBox>("Rele1")->value(), 15);
  EXPECT_FALSE(Find<QLabel>("Panel1")->isVisibleTo(Find<ByteSpinBox>("Rele1")));
  EXPECT_EQ(Find<QComboBox>("CenterPhone")->currentText(), "+79202909090");
  EXPECT_TRUE(Find<QRadioButton>("Ohr_2")->isChecked());
  EXPECT_FALSE(Find<QGroupBox>("Zones")->isEnabled());
}

// Every text of a page is shown whole within the page's area.
void ExpectTextsFit(QWidget* page) {
  // A layout does not let its widget shrink below what its contents need.
  EXPECT_LE(page->minimumSizeHint().width(), kPageWidth);
  EXPECT_LE(page->minimumSizeHint().height(), kPageHeight);
  const QRect area(0, 0, kPageWidth, kPageHeight);
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    const QString name =
        w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    SCOPED_TRACE(name.toStdString());
    const QRect rect(w->mapTo(page, QPoint(0, 0)), w->size());
    EXPECT_TRUE(area.contains(rect)) << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
    if (qobject_cast<QLabel*>(w) != nullptr || qobject_cast<QAbstractButton*>(w) != nullptr) {
      EXPECT_GE(w->width(), w->sizeHint().width());
      EXPECT_GE(w->height(), w->sizeHint().height());
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
      EXPECT_GE(group->width(), group->fontMetrics().horizontalAdvance(group->title()) + 16);
    }
  }
}

TEST_F(PagesWidgetsTest, PagesFitTheMainWindowsClientArea) {
  // Screenshots for a look by eye go to VEMTARO_PAGE_SHOTS when it is set.
  const QString shots = qEnvironmentVariable("VEMTARO_PAGE_SHOTS");
  std::vector<std::unique_ptr<PageWidget>> alone;
  alone.push_back(std::make_unique<CommonPage>(model));
  auto setup = std::make_unique<SetupPage>(model);
  QTabWidget* sheets = setup->tabs();
  alone.push_back(std::move(setup));
  alone.push_back(std::make_unique<GuardPage>(model));
  alone.push_back(std::make_unique<IdentifiersPanel>(model));
  for (int version : {10, 15}) {
    SCOPED_TRACE(version);
    model.ApplyProfile(version);
    for (auto& page : alone) {
      page->Refresh();
      page->resize(kPageWidth, kPageHeight);
      page->show();
      const bool tabbed = page->objectName() == "Setup";
      for (int sheet = 0; sheet < (tabbed ? sheets->count() : 1); ++sheet) {
        if (tabbed) sheets->setCurrentIndex(sheet);
        QApplication::processEvents();
        SCOPED_TRACE(page->objectName().toStdString() + " " + std::to_string(sheet));
        ExpectTextsFit(page.get());
        if (!shots.isEmpty()) {
          const QString file = QStringLiteral("pages-%1-v%2%3.png")
                                   .arg(page->objectName())
                                   .arg(version)
                                   .arg(tabbed ? QStringLiteral("-%1").arg(sheet + 1) : QString());
          page->grab().save(QDir(shots).filePath(file));
        }
      }
      page->hide();
    }
  }
}

}  // namespace
