// The desktop program given what is no settings file: a device, a FIFO, a
// file far larger than any settings file. Opening one shows the error box and
// changes nothing; saving onto a device or FIFO is refused and leaves it as
// it is. The rule lives in the shared file store, so the desktop and the
// command line keep it alike.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "main_window.h"
#include "scripted_dialogs.h"
#include "shell/qt_file_store.h"
#include "tree_view.h"
#include "window/main_model.h"

namespace vemtaro::app {
namespace {

namespace fs = std::filesystem;

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vemtaro-hostile-" + std::to_string(std::random_device()()));
    fs::create_directories(dir_);
    window.FormShow();
    dialogs.Clear();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
  testing::ScriptedDialogs dialogs;
  shell::QtFileStore files;
  TForm1 window{dialogs, files};
};

TEST_F(HostileFiles, OpeningADeviceAFifoOrAHugeFileChangesNothing) {
  ASSERT_EQ(::mkfifo(Path("fifo.dat").c_str(), 0600), 0);
  {
    std::ofstream huge(Path("huge.dat"), std::ios::binary);
    huge.seekp(5LL * 1024 * 1024 * 1024);  // sparse: takes no room on the disk
    huge.put('\0');
  }
  window.model().Tree1.top(0)->text = "Дверь";
  window.model().pages.SetSpinValue({SpinRow::Rele, 3}, 42);
  window.RefreshAll();
  const Bytes image = window.model().ws.working.bytes();
  for (const std::string& path : {std::string("/dev/zero"), Path("fifo.dat"), Path("huge.dat")}) {
    SCOPED_TRACE(path);
    dialogs.Clear();
    dialogs.fileNames.push_back(path);
    window.N7->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].error);
    EXPECT_EQ(dialogs.shown[0].text.rfind(std::string(main_texts::kOpenFailed) + path + "\r", 0), 0u)
        << dialogs.shown[0].text;
    EXPECT_EQ(window.model().ws.working.bytes(), image);
    EXPECT_EQ(window.Tree1->topLevelItem(0)->text(0), "Дверь");
    EXPECT_EQ(window.model().pages.Rele[2].value, 42);
  }
  EXPECT_EQ(fs::status(Path("fifo.dat")).type(), fs::file_type::fifo);
}

TEST_F(HostileFiles, SavingOntoADeviceOrAFifoLeavesItAsItIs) {
  ASSERT_EQ(::mkfifo(Path("fifo.dat").c_str(), 0600), 0);
  std::vector<std::string> targets = {Path("fifo.dat")};
  // Devices of the test's own, like /dev/null and /dev/full, where it may make
  // them (root): a program that replaced them would leave the system's alone.
  for (const auto& [name, minor] : {std::pair<const char*, unsigned>{"null", 3}, {"full", 7}}) {
    if (::mknod(Path(name).c_str(), S_IFCHR | 0666, ::makedev(1, minor)) == 0) targets.push_back(Path(name));
  }
  for (const std::string& path : targets) {
    SCOPED_TRACE(path);
    dialogs.Clear();
    dialogs.fileNames.push_back(path);
    window.N6->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].error);
    EXPECT_NE(dialogs.shown[0].text.find("not a regular file"), std::string::npos) << dialogs.shown[0].text;
  }
  for (const auto& target : targets) {
    EXPECT_NE(fs::status(target).type(), fs::file_type::regular) << target;
  }
}

}  // namespace
}  // namespace vemtaro::app

#endif
