// Unsaved changes of the main window: what counts as a change of the
// configuration in use, what makes it the saved one again, and the question
// asked before an action replaces it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "scripted_dialogs.h"
#include "started_model.h"
#include "window/main_model.h"

namespace vemtaro {
namespace {

using testing::MemoryFiles;
using testing::ScriptedDialogs;

class UnsavedChangesTest : public testing::StartedModel {
 protected:
  MemoryFiles files;

  // A relay node of input 1's closing reaction, expanded as a view shows it.
  TreeNode* Relay() {
    TreeNode* relays = m.Tree1.top(0)->child(0)->child(0);
    m.Expand(TreeKind::Control, *m.Tree1.top(0));
    m.Expand(TreeKind::Control, *m.Tree1.top(0)->child(0));
    m.Expand(TreeKind::Control, *relays);
    return relays->child(0);
  }

  void ExpandAll(TreeKind kind, Tree& tree) {
    std::function<void(TreeNode&)> expand = [&](TreeNode& node) {
      m.Expand(kind, node);
      for (const auto& child : node.children()) expand(*child);
    };
    for (std::size_t i = 0; i < tree.topCount(); ++i) expand(*tree.top(i));
  }

  void Edit() { m.pages.SetSpinValue({SpinRow::Rele, 3}, 42); }
};

TEST_F(UnsavedChangesTest, AStartedModelHasNoChanges) { EXPECT_FALSE(m.Modified()); }

TEST_F(UnsavedChangesTest, APageHandlerMakesAChange) {
  Edit();
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, AnObjectIdentifierLeftMakesAChange) {
  m.pages.ObjectID.text = "OBJ-7";
  m.pages.ObjectIDExit();
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, ATreeCommandMakesAChange) {
  TreeNode* relay = Relay();
  EXPECT_FALSE(m.Modified()) << "expanding is no change";
  m.commands.N2Click({relay});
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, ARenamedNodeAloneMakesAChange) {
  dialogs.inputs.push_back(std::string("Дверь"));
  const Bytes image = m.ws.working.bytes();
  m.commands.N12Click({m.Tree1.top(0)});
  ASSERT_EQ(m.Tree1.top(0)->text, "Дверь");
  EXPECT_EQ(m.ws.working.bytes(), image);
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, AVersionSwitchMakesAChange) {
  m.v112Click();
  EXPECT_TRUE(m.Modified());
  m.MarkUnmodified();
  m.v112Click();  // the same version again: its defaults once more
  EXPECT_FALSE(m.Modified());
  m.v113Click();
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, ExpandingAndCollapsingAreNoChange) {
  ExpandAll(TreeKind::Control, m.Tree1);
  ExpandAll(TreeKind::Parametric, m.Tree2);
  EXPECT_FALSE(m.Modified());
  m.Tree1.CollapseAll();
  m.Tree2.CollapseAll();
  EXPECT_FALSE(m.Modified());
}

TEST_F(UnsavedChangesTest, MarkingKeepsTheTreesExpanded) {
  TreeNode* relay = Relay();
  m.commands.N2Click({relay});
  m.MarkUnmodified();
  EXPECT_FALSE(m.Modified());
  EXPECT_TRUE(m.Tree1.top(0)->expanded);
  EXPECT_TRUE(relay->parent()->expanded);
}

TEST_F(UnsavedChangesTest, SavingAndOpeningLeaveNoChanges) {
  Edit();
  ASSERT_TRUE(m.SaveSettings("/s/a.dat", files));
  EXPECT_FALSE(m.Modified());

  m.v112Click();
  ASSERT_TRUE(m.Modified());
  ASSERT_TRUE(m.OpenSettings("/s/a.dat", files));
  EXPECT_FALSE(m.Modified());
  EXPECT_EQ(m.pages.Rele[2].value, 42);
  Edit();
  EXPECT_FALSE(m.Modified()) << "the same value again";
  m.pages.SetSpinValue({SpinRow::Rele, 3}, 43);
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, AFileOfAnotherVersionOpensWithoutChanges) {
  m.v112Click();
  Edit();
  ASSERT_TRUE(m.SaveSettings("/s/v12.dat", files));
  m.v151Click();
  ASSERT_TRUE(m.OpenSettings("/s/v12.dat", files));
  EXPECT_EQ(m.ws.FirmwareVersion, 12);
  EXPECT_FALSE(m.Modified());
}

TEST_F(UnsavedChangesTest, AFailedSaveOrOpenKeepsTheChanges) {
  Edit();
  files.failWrites = true;
  EXPECT_FALSE(m.SaveSettings("/s/a.dat", files));
  EXPECT_TRUE(m.Modified());
  files.files["/s/bad.dat"] = "V15*garbage";
  EXPECT_FALSE(m.OpenSettings("/s/bad.dat", files));
  EXPECT_TRUE(m.Modified());
  EXPECT_FALSE(m.OpenSettings("/s/missing.dat", files));
  EXPECT_TRUE(m.Modified());
}

// ---------------------------------------------------------------- the question

TEST_F(UnsavedChangesTest, WithoutChangesNothingIsAsked) {
  EXPECT_TRUE(m.SaveChangesFirst(files));
  EXPECT_EQ(dialogs.saveChangesAsked, 0);
  EXPECT_TRUE(files.files.empty());
}

TEST_F(UnsavedChangesTest, DiscardGoesOnWithoutSaving) {
  Edit();
  dialogs.saveChanges.push_back(SaveChangesAnswer::Discard);
  dialogs.fileNames.push_back(std::string("/s/never.dat"));
  EXPECT_TRUE(m.SaveChangesFirst(files));
  EXPECT_EQ(dialogs.saveChangesAsked, 1);
  EXPECT_TRUE(files.files.empty());
  EXPECT_EQ(dialogs.fileNames.size(), 1u) << "no save dialog";
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, CancelStops) {
  Edit();
  const Bytes image = m.ws.working.bytes();
  dialogs.saveChanges.push_back(SaveChangesAnswer::Cancel);
  dialogs.fileNames.push_back(std::string("/s/never.dat"));
  EXPECT_FALSE(m.SaveChangesFirst(files));
  EXPECT_EQ(dialogs.saveChangesAsked, 1);
  EXPECT_TRUE(files.files.empty());
  EXPECT_EQ(dialogs.fileNames.size(), 1u);
  EXPECT_TRUE(m.Modified());
  EXPECT_EQ(m.ws.working.bytes(), image);
}

TEST_F(UnsavedChangesTest, SaveWritesTheFileThenGoesOn) {
  Edit();
  dialogs.saveChanges.push_back(SaveChangesAnswer::Save);
  dialogs.fileNames.push_back(std::string("/s/kept.dat"));
  EXPECT_TRUE(m.SaveChangesFirst(files));
  ASSERT_EQ(files.files.count("/s/kept.dat"), 1u);
  EXPECT_EQ(m.status, "Настройки сохранены в файл: /s/kept.dat");
  EXPECT_FALSE(m.Modified());
  EXPECT_TRUE(dialogs.shown.empty());
  const auto parsed = ParseSettingsFile(files.files["/s/kept.dat"]);
  ASSERT_TRUE(parsed.data && parsed.data->image);
  EXPECT_EQ(*parsed.data->image, m.ws.working.bytes());
}

TEST_F(UnsavedChangesTest, ACancelledSaveDialogStops) {
  Edit();
  dialogs.saveChanges.push_back(SaveChangesAnswer::Save);
  dialogs.fileNames.push_back(std::nullopt);
  EXPECT_FALSE(m.SaveChangesFirst(files));
  EXPECT_TRUE(files.files.empty());
  EXPECT_TRUE(m.Modified());
}

TEST_F(UnsavedChangesTest, AFailedSaveStopsAndSaysSo) {
  Edit();
  files.failWrites = true;
  dialogs.saveChanges.push_back(SaveChangesAnswer::Save);
  dialogs.fileNames.push_back(std::string("/s/ro.dat"));
  EXPECT_FALSE(m.SaveChangesFirst(files));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].error);
  EXPECT_EQ(dialogs.shown[0].text, "Не удалось сохранить настройки в файл /s/ro.dat\rread-only");
  EXPECT_EQ(m.status, "");
  EXPECT_TRUE(m.Modified());
}

// Dialogs that cannot ask never let changes go unanswered.
class PlainDialogs : public UserDialogs {
 public:
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string&) override {}
  std::optional<std::string> InputText(const std::string&, const std::string&, int) override { return {}; }
  std::optional<std::string> AskSaveFileName() override { return std::string("/s/x.dat"); }
  std::optional<std::string> AskOpenFileName() override { return {}; }
};

TEST(SaveChangesDefaults, DialogsWithoutTheQuestionAnswerCancel) {
  PlainDialogs plain;
  EXPECT_EQ(plain.AskSaveChanges(), SaveChangesAnswer::Cancel);
  SilentDialogs silent;
  EXPECT_EQ(silent.AskSaveChanges(), SaveChangesAnswer::Cancel);

  MemoryFiles files;
  MainModel m(silent);
  m.Startup();
  m.pages.SetSpinValue({SpinRow::Rele, 1}, 9);
  EXPECT_FALSE(m.SaveChangesFirst(files));
  EXPECT_TRUE(files.files.empty());
}

TEST(SaveChangesDefaults, ScriptedDialogsGoOnWhenNothingIsScripted) {
  ScriptedDialogs d;
  EXPECT_EQ(d.AskSaveChanges(), SaveChangesAnswer::Discard);
  d.saveChanges = {SaveChangesAnswer::Save, SaveChangesAnswer::Cancel};
  EXPECT_EQ(d.AskSaveChanges(), SaveChangesAnswer::Save);
  EXPECT_EQ(d.AskSaveChanges(), SaveChangesAnswer::Cancel);
  EXPECT_EQ(d.saveChangesAsked, 3);
}

}  // namespace
}  // namespace vemtaro
