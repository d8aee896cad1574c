// The table of page fields: every control has one name, every field of a
// version lies inside that version's image, and no two fields of a version
// share a byte.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "model/fields.h"
#include "model/profiles.h"

namespace vemtaro {
namespace {

namespace F = fields;

struct Control {
  std::string name;
  F::Place place;
};

std::vector<Control> ControlsOf(int v) {
  std::vector<Control> out;
  for (const F::Field& f : F::kFields) {
    if (!f.In(v)) continue;
    for (int n = f.First(); n <= f.Last(); ++n) out.push_back({f.ControlName(n), f.At(v, n)});
  }
  return out;
}

TEST(FieldsTest, EveryControlNameIsUnique) {
  std::set<std::string> names;
  for (const F::Field& f : F::kFields) {
    for (int n = f.First(); n <= f.Last(); ++n) {
      EXPECT_TRUE(names.insert(f.ControlName(n)).second) << f.ControlName(n);
    }
  }
  EXPECT_EQ(names.size(), 85u);
}

TEST(FieldsTest, FieldsLieInsideTheImageOfEveryVersionTheyExistIn) {
  for (const VersionProfile& profile : kProfiles) {
    for (const Control& c : ControlsOf(profile.version)) {
      SCOPED_TRACE(c.name + " in version " + std::to_string(profile.version));
      EXPECT_GT(c.place.length, 0u);
      EXPECT_LE(c.place.offset + c.place.length, profile.imageLength);
    }
  }
}

TEST(FieldsTest, FieldsOfAVersionDoNotOverlap) {
  for (const VersionProfile& profile : kProfiles) {
    const std::vector<Control> controls = ControlsOf(profile.version);
    for (std::size_t i = 0; i < controls.size(); ++i) {
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        const F::Place a = controls[i].place;
        const F::Place b = controls[j].place;
        EXPECT_TRUE(a.offset + a.length <= b.offset || b.offset + b.length <= a.offset)
            << controls[i].name << " and " << controls[j].name << " in version " << profile.version;
      }
    }
  }
}

TEST(FieldsTest, MovingFieldsTakeTheirVersionsPlace) {
  EXPECT_EQ(F::Of(F::Id::ObjectID).At(13).offset, 4732u);
  EXPECT_EQ(F::Of(F::Id::ObjectID).At(14).offset, 5171u);
  EXPECT_EQ(F::Of(F::Id::ObjectID).At(14).length, 10u);
  EXPECT_EQ(F::Of(F::Id::AbonentNo).At(14, 3).offset, 4636u);
  EXPECT_EQ(F::Of(F::Id::AbonentNo).At(15, 3).offset, 5213u);
  EXPECT_EQ(F::Of(F::Id::CenterPhone).At(15).offset, 5325u);
  EXPECT_EQ(F::Of(F::Id::Rele).At(10, 16).offset, 5030u);
  EXPECT_FALSE(F::Of(F::Id::AZones).In(12));
  EXPECT_TRUE(F::Of(F::Id::AZones).In(13));
  EXPECT_FALSE(F::Of(F::Id::StatusMessages).In(11));
  EXPECT_TRUE(F::Of(F::Id::StatusMessages).In(12));
}

}  // namespace
}  // namespace vemtaro
