// Who a saved file belongs to and where a save may go. A save never goes
// through a symbolic link that another user planted in a shared folder; a
// replaced file keeps its owner's group and permission bits but never a
// set-user-ID, set-group-ID or sticky bit; a file that must be new (a backup)
// is made new, private, and never over a file or through a link.
//
// Other users' files are made with lchown and chown, which needs root: the
// tests are skipped for other users.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "shell/qt_file_store.h"

namespace vemtaro {
namespace {

namespace fs = std::filesystem;
using shell::QtFileStore;

constexpr uid_t kOther = 65534;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FileOwners : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "other users' files are made by root only";
    dir_ = fs::temp_directory_path() / ("vemtaro-owners-" + std::to_string(std::random_device()()));
    fs::create_directories(dir_ / "private");
    WriteFile(dir_ / "private" / "secret", "the secret");
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }

  // A folder anyone may add to, each keeping their own names (as /tmp is).
  fs::path SharedFolder(const std::string& name, uid_t owner) {
    const fs::path folder = dir_ / name;
    fs::create_directory(folder);
    EXPECT_EQ(::chmod(folder.c_str(), 01777), 0);
    EXPECT_EQ(::chown(folder.c_str(), owner, owner), 0);
    return folder;
  }

  // A symbolic link that belongs to `owner`.
  static void Link(const fs::path& link, const fs::path& to, uid_t owner) {
    fs::create_symlink(to, link);
    EXPECT_EQ(::lchown(link.c_str(), owner, owner), 0);
  }

  fs::path Secret() const { return dir_ / "private" / "secret"; }

  fs::path dir_;
};

TEST_F(FileOwners, ASaveGoesThroughNoLinkThatNeitherTheUserNorTheFoldersOwnerOwns) {
  struct Case {
    const char* what;
    uid_t folderOwner;
    uid_t linkOwner;
    bool chained;  // the user's own link names the other link
    bool followed;
  };
  const Case cases[] = {
      {"another user's link in a shared folder", 0, kOther, false, false},
      {"the user's own link there", 0, 0, false, true},
      {"the folder owner's link", kOther, kOther, false, true},
      {"the user's link to another user's link", 0, kOther, true, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(Secret(), "the secret");
    const fs::path folder = SharedFolder("shared" + std::to_string(++n), c.folderOwner);
    const fs::path planted = folder / "site.dat";
    Link(planted, Secret(), c.linkOwner);
    fs::path saved = planted;
    if (c.chained) {
      saved = dir_ / ("mine" + std::to_string(n) + ".dat");
      Link(saved, planted, 0);
    }
    std::string error;
    const bool may = QtFileStore::CanCreate(saved.string(), true, error);
    EXPECT_EQ(may, c.followed) << error;
    error.clear();
    const bool written = QtFileStore().WriteAll(saved.string(), "new bytes", error);
    EXPECT_EQ(written, c.followed) << error;
    if (c.followed) {
      EXPECT_EQ(ReadFile(Secret()), "new bytes");
      EXPECT_TRUE(fs::is_symlink(planted)) << "the link stays a link";
    } else {
      EXPECT_EQ(error, "the symbolic link " + planted.string() +
                           " belongs to another user than you and its folder's owner; nothing is written through it");
      EXPECT_EQ(ReadFile(Secret()), "the secret");
      EXPECT_EQ(Names(dir_ / "private"), std::vector<std::string>{"secret"});
      EXPECT_EQ(Names(folder), std::vector<std::string>{"site.dat"});
    }
  }
}

TEST_F(FileOwners, AReplacedFileKeepsItsGroupAndPermissionsButNoSetIdOrStickyBit) {
  // A folder shared by a group: new files take the folder's group.
  const fs::path folder = dir_ / "team";
  fs::create_directory(folder);
  ASSERT_EQ(::chown(folder.c_str(), 0, kOther), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
  const mode_t modes[] = {06775, 04755, 02770, 01644, 0640, 0604};
  for (const mode_t mode : modes) {
    SCOPED_TRACE(mode);
    const fs::path file = folder / "site.dat";
    fs::remove(file);
    WriteFile(file, "old");
    ASSERT_EQ(::chown(file.c_str(), kOther, kOther), 0);
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    std::string error;
    ASSERT_TRUE(QtFileStore().WriteAll(file.string(), "new", error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode & 0777);
    EXPECT_EQ(st.st_gid, kOther);
    EXPECT_EQ(st.st_uid, kOther) << "root's save leaves the file its owner's";
    EXPECT_EQ(ReadFile(file), "new");
  }
}

TEST_F(FileOwners, ANewFileIsMadeOnlyWhereNothingIsAndPrivate) {
  for (const mode_t mask : {0000, 0022, 0077}) {
    SCOPED_TRACE(mask);
    const mode_t before = ::umask(mask);
    const fs::path file = dir_ / ("copy" + std::to_string(mask) + ".dat");
    std::string error;
    EXPECT_TRUE(QtFileStore::WriteNew(file.string(), "copy", error)) << error;
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadFile(file), "copy");
  }

  // Whatever is at the name already stays as it is.
  WriteFile(dir_ / "old.dat", "old");
  Link(dir_ / "to-secret.dat", Secret(), 0);
  Link(dir_ / "dangling.dat", dir_ / "private" / "made", 0);
  for (const char* name : {"old.dat", "to-secret.dat", "dangling.dat"}) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_FALSE(QtFileStore::WriteNew((dir_ / name).string(), "copy", error));
    EXPECT_EQ(error, QtFileStore::kExists);
  }
  EXPECT_EQ(ReadFile(dir_ / "old.dat"), "old");
  EXPECT_EQ(ReadFile(Secret()), "the secret");
  EXPECT_EQ(Names(dir_ / "private"), std::vector<std::string>{"secret"});
}

}  // namespace
}  // namespace vemtaro
