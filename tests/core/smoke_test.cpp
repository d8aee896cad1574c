#include <gtest/gtest.h>

#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro {

TEST(Smoke, StartupAndSave) {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  EXPECT_EQ(m.Tree1.size(), 892u);
  EXPECT_EQ(m.Tree2.size(), 16u * 93u);
  auto bytes = m.SettingsFileBytes();
  ASSERT_TRUE(bytes);
  MainModel m2(dialogs);
  m2.Startup();
  EXPECT_TRUE(m2.OpenSettingsBytes(*bytes));
  EXPECT_EQ(m2.ws.working.bytes(), m.ws.working.bytes());
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace vemtaro
