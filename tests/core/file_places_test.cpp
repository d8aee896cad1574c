// The file dialogs' places within a run: the folder last used, and the name a
// save suggests from the object identifier.
#include <gtest/gtest.h>

#include <string>

#include "window/file_places.h"

namespace vemtaro {
namespace {

TEST(SafeFileName, KeepsTheTextAFileNameCanHold) {
  struct Case {
    const char* name;
    std::string text;
    std::string safe;
  };
  const Case cases[] = {
      {"plain", "OBJ-17", "OBJ-17"},
      {"Cyrillic", "Котельная", "Котельная"},
      {"slashes", "Склад/2\\3", "Склад-2-3"},
      {"blanks at both ends", "  A B  ", "A B"},
      {"a no-break space at the end", "A\xC2\xA0", "A"},
      {"a hidden file's dots", "..cfg", "cfg"},
      {"dots and blanks first", " . .x.", "x."},
      {"control characters", std::string("A\x01\tB\x7F", 5) + "\xC2\x85" + "C", "ABC"},
      {"bytes that are not UTF-8", "A\xFF\xC3(B", "A(B"},
      {"a zero byte", std::string("A\0B", 3), "AB"},
      {"nothing left", " \x02.. ", ""},
      {"only a slash", "/", "-"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SafeFileName(c.text), c.safe);
  }
}

TEST(FilePlaces, TheSaveSuggestsTheIdentifierTheFileOrADefault) {
  FilePlaces places;
  EXPECT_EQ(places.OpenStart().folder, "");
  EXPECT_EQ(places.SaveStart("").name, "vemtaro.dat");
  EXPECT_EQ(places.SaveStart(" / ").name, "-.dat");
  EXPECT_EQ(places.SaveStart("\x01").name, "vemtaro.dat");

  places.Chosen("/home/u/a b/obj.dat");
  places.InUse("/home/u/a b/obj.dat");
  EXPECT_EQ(places.OpenStart().folder, "/home/u/a b");
  EXPECT_EQ(places.OpenStart().name, "");
  EXPECT_EQ(places.SaveStart("").folder, "/home/u/a b");
  EXPECT_EQ(places.SaveStart("").name, "obj.dat");
  EXPECT_EQ(places.SaveStart("OBJ-17").name, "OBJ-17.dat");

  // A bare name keeps the folder; a file at the root has the root.
  places.Chosen("loose.dat");
  EXPECT_EQ(places.OpenStart().folder, "/home/u/a b");
  places.Chosen("/top.dat");
  EXPECT_EQ(places.OpenStart().folder, "/");
  places.NoFile();
  EXPECT_EQ(places.SaveStart("").name, "vemtaro.dat");
}

}  // namespace
}  // namespace vemtaro
