// Qt's own dialogs as the program shows them, in Russian: the save dialog with
// its labels and buttons and its question before replacing a file, and the
// input dialog's buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

#include "app_setup.h"
#include "qt_dialogs.h"

namespace vemtaro::app {
namespace {

// Runs `act` on the modal window that is up once the event loop next turns.
void OnNextModal(const std::function<void(QWidget*)>& act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    act(modal);
  });
}

QString ButtonText(QWidget* dialog, QDialogButtonBox::StandardButton which) {
  auto* box = dialog->findChild<QDialogButtonBox*>();
  QPushButton* button = box != nullptr ? box->button(which) : nullptr;
  return button != nullptr ? button->text() : QStringLiteral("(none)");
}

QString LabelText(QWidget* dialog, const char* name) {
  auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
  return label != nullptr ? label->text() : QStringLiteral("(none)");
}

class QtTextsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LoadQtTranslations(&owner_)) << "Qt's Russian texts (qt6-translations-l10n)"; }

  QObject owner_;  // the translations stay installed while it lives
  QtDialogs dialogs_;
};

TEST_F(QtTextsTest, TheSaveDialogAndItsQuestionSpeakRussian) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QFile existing(folder.filePath("site.dat"));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  // The dialog opens in the current folder.
  struct CurrentFolder {
    QString before = QDir::currentPath();
    ~CurrentFolder() { QDir::setCurrent(before); }
  } current;
  ASSERT_TRUE(QDir::setCurrent(folder.path()));

  QString save, cancel, lookIn, fileName, question, yes, no;
  OnNextModal([&](QWidget* dialog) {
    ASSERT_NE(qobject_cast<QFileDialog*>(dialog), nullptr);
    save = ButtonText(dialog, QDialogButtonBox::Save);
    cancel = ButtonText(dialog, QDialogButtonBox::Cancel);
    lookIn = LabelText(dialog, "lookInLabel");
    fileName = LabelText(dialog, "fileNameLabel");
    // The name of a file that exists (without its suffix, which the dialog
    // completes), confirmed: the question before it is replaced comes up, and
    // Escape answers "no".
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    QTest::keyClicks(name, "site");
    OnNextModal([&](QWidget* box) {
      auto* message = qobject_cast<QMessageBox*>(box);
      ASSERT_NE(message, nullptr);
      question = message->text();
      yes = message->button(QMessageBox::Yes)->text();
      no = message->button(QMessageBox::No)->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QTest::keyClick(name, Qt::Key_Return);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(dialogs_.AskSaveFileName(), std::nullopt);
  EXPECT_EQ(save, "&Сохранить");
  EXPECT_EQ(cancel, "Отмена");
  EXPECT_EQ(lookIn, "Перейти к:");
  EXPECT_EQ(fileName, "&Имя файла:");
  EXPECT_TRUE(question.contains("уже существует")) << question.toStdString();
  EXPECT_EQ(yes, "&Да");
  EXPECT_EQ(no, "&Нет");
}

TEST_F(QtTextsTest, TheInputDialogsButtonsSpeakRussian) {
  QString ok, cancel;
  OnNextModal([&](QWidget* dialog) {
    ok = ButtonText(dialog, QDialogButtonBox::Ok);
    cancel = ButtonText(dialog, QDialogButtonBox::Cancel);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(dialogs_.InputText("Введите новое название", "Вход 1", 40), std::nullopt);
  EXPECT_EQ(ok, "OK");  // the same word in Russian
  EXPECT_EQ(cancel, "Отмена");
}

}  // namespace
}  // namespace vemtaro::app
