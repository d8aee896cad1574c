// The working configuration compared with another one: the differences under
// the page or tree that shows them, taking chosen ones through the handlers,
// refusals reported, and the controller's configuration read into the
// comparison only.
#include "editor/comparison.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "model/layout.h"
#include "scripted_dialogs.h"

namespace vemtaro {
namespace {

namespace L = layout;
namespace C = compare_texts;
using G = CompareGroup;

// A started version-15 model whose settings are changed by name.
struct Editable {
  testing::ScriptedDialogs shown;
  EditDialogs dialogs{shown};
  MainModel model{dialogs};

  Editable() {
    model.Startup();
    shown.Clear();
  }
  void Set(const std::string& name, const std::string& value) {
    const SettingResult r = SetSetting(model, dialogs, name, value);
    ASSERT_TRUE(r.ok()) << name << "=" << value << ": " << r.message;
  }
};

// Another configuration: the default one changed by `edit`.
SettingsFileData OtherFile(const std::function<void(Editable&)>& edit) {
  Editable other;
  edit(other);
  return WorkingSettingsFile(other.model);
}

struct Row {
  G group;
  std::string name;
  std::string working;
  std::string other;
  std::string setting;  // empty: cannot be taken
  std::string why;
};

std::vector<Row> Rows(const Comparison& c) {
  std::vector<Row> out;
  for (const ComparisonRow& r : c.rows()) out.push_back({r.group, r.name, r.working, r.other, r.setting, r.why});
  return out;
}

std::string RowsText(const Comparison& c) {
  std::string text;
  for (const ComparisonRow& r : c.rows()) {
    text += std::string(CompareGroupCaption(r.group)) + " | " + r.name + " | " + r.working + " | " + r.other + " | " +
            r.setting + "\n";
  }
  return text;
}

bool operator==(const Row& a, const Row& b) {
  return a.group == b.group && a.name == b.name && a.working == b.working && a.other == b.other &&
         a.setting == b.setting && a.why == b.why;
}

void PrintTo(const Row& r, std::ostream* out) {
  *out << CompareGroupCaption(r.group) << " | " << r.name << " | " << r.working << " | " << r.other << " | "
       << r.setting << " | " << r.why;
}

std::size_t IndexOf(const Comparison& c, const std::string& name) {
  for (std::size_t i = 0; i < c.rows().size(); ++i) {
    if (c.rows()[i].name == name) return i;
  }
  ADD_FAILURE() << "no row " << name;
  return c.rows().size();
}

// Changes of every page and both trees, listed in the order of the pages.
void ChangeEverywhere(Editable& o) {
  o.Set("Датчик 1/Выше MAX порога/max", "30");
  o.Set("ID2", "0123456789ABCDEF");
  o.Set("Zones", "[0 1 0 0 0 0 0 0]");
  o.Set("Вход 1/Замыкание/relays", "ZNNNNNNNNNNNNNNN");
  o.Set("Rele3", "42");
  o.Set("AbonentNo1", "+79160000001");
  o.Set("ObjectID", "OBJ-2");
  // A node of its own name whose reaction differs as well.
  o.model.Tree1.top(1)->text = "Калитка";
  o.Set("Калитка/Размыкание/phones", "1NNNNNNNN");
}

TEST(Comparison, DifferencesAreListedUnderTheirPageOrTreeWithBothValues) {
  Editable w;
  const Bytes before = w.model.ws.working.bytes();
  Comparison c(OtherFile(ChangeEverywhere), C::kFile);
  c.Refresh(w.model);
  const std::string none;
  const std::string renamed = " [B: Калитка/";
  const std::vector<Row> expected = {
      {G::Common, "ObjectID", "", "OBJ-2", "ObjectID", none},
      {G::Common, "AbonentNo1", "", "+79160000001", "AbonentNo1", none},
      {G::Setup, "Rele3", "0", "42", "Rele3", none},
      {G::ControlTree, "Вход 1/Замыкание/relays", "NNNNNNNNNNNNNNNN", "ZNNNNNNNNNNNNNNN", "Вход 1/Замыкание/relays",
       none},
      {G::ControlTree, "Вход 2/Замыкание/relays" + renamed + "Замыкание/relays]", "NNNNNNNNNNNNNNNN",
       "NNNNNNNNNNNNNNNN", none, C::kNamesOnly},
      {G::ControlTree, "Вход 2/Замыкание/phones" + renamed + "Замыкание/phones]", "NNNNNNNNN", "NNNNNNNNN", none,
       C::kNamesOnly},
      {G::ControlTree, "Вход 2/Замыкание/sms" + renamed + "Замыкание/sms]", "Вход 2 Замкнут", "Вход 2 Замкнут", none,
       C::kNamesOnly},
      {G::ControlTree, "Вход 2/Размыкание/relays" + renamed + "Размыкание/relays]", "NNNNNNNNNNNNNNNN",
       "NNNNNNNNNNNNNNNN", none, C::kNamesOnly},
      // The value differs too: it is taken under the working node's name.
      {G::ControlTree, "Вход 2/Размыкание/phones" + renamed + "Размыкание/phones]", "NNNNNNNNN", "1NNNNNNNN",
       "Вход 2/Размыкание/phones", none},
      {G::ControlTree, "Вход 2/Размыкание/sms" + renamed + "Размыкание/sms]", "Вход 2 Разомкнут", "Вход 2 Разомкнут",
       none, C::kNamesOnly},
      {G::ParametricTree, "ID2", "", "0123456789ABCDEF", "ID2", none},
      {G::ParametricTree, "Датчик 1/Выше MAX порога/max", "21", "30", "Датчик 1/Выше MAX порога/max", none},
      {G::Guard, "Zones", "[0 0 0 0 0 0 0 0]", "[0 1 0 0 0 0 0 0]", "Zones", none},
  };
  EXPECT_EQ(Rows(c), expected) << RowsText(c);
  EXPECT_EQ(c.TakeableCount(), 8u);
  // Comparing changes nothing.
  EXPECT_EQ(w.model.ws.working.bytes(), before);
  EXPECT_EQ(w.model.Tree1.top(1)->text, "Вход 2");
  EXPECT_FALSE(w.model.Modified());
  EXPECT_TRUE(w.shown.shown.empty());
}

TEST(Comparison, WholeConfigurationItemsAreListedUnderTheRestAndNotTaken) {
  Editable w;
  // Another version, its checksum stored, its second tree unreadable.
  Editable o;
  o.model.v112Click();
  SettingsFileData other = WorkingSettingsFile(o.model);
  other.image->back() = ImageChecksum(ConfigImage(*other.image));
  // A second tree of one node: the reactions of the others have none.
  other.tree2 = "Sensor";
  Comparison c(other, C::kFile);
  c.Refresh(w.model);
  ASSERT_GE(c.rows().size(), 3u);
  const std::vector<Row> rest = {
      {G::Other, "firmware", "15", "12", "", C::kNotASetting},
      {G::Other, "checksum", "differs", "matches", "", C::kDerived},
      {G::Other, "tree2", "whole", "short: 24 reactions have no node", "", C::kNotASetting},
  };
  // The rest's rows come last, in the listing's order.
  const std::vector<Row> all = Rows(c);
  EXPECT_EQ(std::vector<Row>(all.end() - 3, all.end()), rest);
  // Items one side lacks: version 12 has no analogue inputs.
  const std::size_t lacking = IndexOf(c, "АЦП 1/Норма/sms");
  ASSERT_LT(lacking, c.rows().size());
  EXPECT_EQ(c.rows()[lacking].other, "(absent)");
  EXPECT_EQ(c.rows()[lacking].why, C::kOneSide);
  EXPECT_EQ(c.rows()[lacking].group, G::ParametricTree);

  // Bytes no setting reads, alone, cannot be taken either.
  SettingsFileData same = WorkingSettingsFile(w.model);
  (*same.image)[L::SourceBlock(0, 0) + L::kBlockEnd] = '#';
  Comparison bytes(same, C::kFile);
  bytes.Refresh(w.model);
  ASSERT_EQ(bytes.rows().size(), 1u) << RowsText(bytes);
  EXPECT_EQ(bytes.rows()[0].name, "image bytes 58");
  EXPECT_EQ(bytes.rows()[0].group, G::Other);
  EXPECT_FALSE(bytes.rows()[0].Takeable());
  EXPECT_EQ(bytes.Take(w.model, w.dialogs, {0}).taken, 0u);
  EXPECT_FALSE(w.model.Modified());
}

TEST(Comparison, TakenDifferencesGoThroughTheHandlersAndLeaveTheList) {
  Editable w;
  Comparison c(OtherFile(ChangeEverywhere), C::kFile);
  c.Refresh(w.model);
  const Bytes before = w.model.ws.working.bytes();
  // The phone slot that selects subscriber 1 is chosen before the number: it
  // is taken after it all the same, as the listing orders them.
  std::vector<std::size_t> chosen = {IndexOf(c, "Вход 2/Размыкание/phones [B: Калитка/Размыкание/phones]")};
  for (const char* name :
       {"ObjectID", "AbonentNo1", "Rele3", "Вход 1/Замыкание/relays", "ID2", "Датчик 1/Выше MAX порога/max"}) {
    chosen.push_back(IndexOf(c, name));
  }
  const TakeOutcome outcome = c.Take(w.model, w.dialogs, chosen);
  EXPECT_EQ(outcome.taken, 7u);
  EXPECT_TRUE(outcome.refused.empty());
  EXPECT_TRUE(w.shown.shown.empty());

  struct Field {
    std::size_t offset;
    std::string bytes;
  };
  const std::vector<Field> fields = {
      {L::kObjectIdLong, "OBJ-2*****"},
      {5181, "+79160000001****"},
      {L::kReleDurations + 2 * 2, "2A"},
      {L::SourceBlock(0, 0) + L::kBlockRelays, "ZNNNNNNNNNNNNNNN"},
      {L::SourceBlock(1, 1) + L::kBlockPhones, "1NNNNNNNN"},
      {L::IdentifierField(2), "0123456789ABCDEF"},
      {L::MaxThreshold(0), "30  "},
  };
  Bytes expected = before;
  for (const Field& f : fields) {
    EXPECT_EQ(w.model.ws.working.Raw(f.offset, f.bytes.size()), f.bytes) << f.offset;
    std::copy(f.bytes.begin(), f.bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(f.offset));
  }
  // Nothing else changed: the zones not taken, the node's name kept.
  EXPECT_EQ(w.model.ws.working.bytes(), expected);
  EXPECT_EQ(w.model.Tree1.top(1)->text, "Вход 2");
  // The page shows what was taken, and the configuration holds unsaved changes.
  EXPECT_EQ(w.model.pages.ObjectID.text, "OBJ-2");
  EXPECT_TRUE(w.model.Modified());
  // The taken rows are gone; the zones and the node names stay.
  std::vector<std::string> names;
  for (const ComparisonRow& r : c.rows()) names.push_back(r.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Вход 2/Замыкание/relays [B: Калитка/Замыкание/relays]",
                                             "Вход 2/Замыкание/phones [B: Калитка/Замыкание/phones]",
                                             "Вход 2/Замыкание/sms [B: Калитка/Замыкание/sms]",
                                             "Вход 2/Размыкание/relays [B: Калитка/Размыкание/relays]",
                                             "Вход 2/Размыкание/phones [B: Калитка/Размыкание/phones]",
                                             "Вход 2/Размыкание/sms [B: Калитка/Размыкание/sms]", "Zones"}))
      << RowsText(c);
}

TEST(Comparison, ARefusedValueIsReportedAndTheOthersAreTaken) {
  Editable w;
  SettingsFileData other = OtherFile([](Editable& o) {
    o.Set("AbonentNo3", "+79165");
    o.Set("Zones", "[0 1 0 0 0 0 0 0]");
    // Forbidding guard mode keeps the zones but disables them.
    o.Set("Ohr", "no");
  });
  // A number no hand could type: the file carries it all the same.
  const std::string bad = "12A4************";
  std::copy(bad.begin(), bad.end(), other.image->begin() + 5181);
  Comparison c(other, C::kFile);
  c.Refresh(w.model);
  const Bytes before = w.model.ws.working.bytes();
  const TakeOutcome outcome = c.Take(
      w.model, w.dialogs, {IndexOf(c, "AbonentNo1"), IndexOf(c, "AbonentNo3"), IndexOf(c, "Zones"), IndexOf(c, "Ohr")});
  EXPECT_EQ(outcome.taken, 3u);
  ASSERT_EQ(outcome.refused.size(), 1u);
  EXPECT_EQ(outcome.refused[0].name, "AbonentNo1");
  EXPECT_EQ(outcome.refused[0].value, "12A4");
  ASSERT_EQ(w.shown.shown.size(), 1u);
  EXPECT_TRUE(w.shown.shown[0].error);
  EXPECT_EQ(w.shown.shown[0].text,
            "Не перенесено в рабочую конфигурацию:\rAbonentNo1 = 12A4: " + outcome.refused[0].message);
  EXPECT_NE(outcome.refused[0].message.find("Неправильно набран номер"), std::string::npos)
      << outcome.refused[0].message;
  EXPECT_EQ(w.model.ws.working.Raw(5181, 16), std::string(before.begin() + 5181, before.begin() + 5197));
  EXPECT_EQ(w.model.ws.working.Raw(5213, 16), "+79165**********");
  EXPECT_EQ(w.model.ws.working.Raw(L::kZones, 2), "02");
  EXPECT_EQ(w.model.ws.working.Raw(L::kGuardMode, 1), "0");
  std::vector<std::string> names;
  for (const ComparisonRow& r : c.rows()) names.push_back(r.name);
  EXPECT_EQ(names, std::vector<std::string>{"AbonentNo1"}) << RowsText(c);
}

// ---------------------------------------------------------------- the controller

using testing::LinkBench;
namespace T = link_texts;

// The controller holds its default image with an object identifier of its own.
sim::ControllerOptions HoldingObject(int version, const std::string& object) {
  sim::ControllerOptions options = testing::VersionOptions(version);
  options.image = testing::DefaultImage(version, [&](ConfigImage& i) {
    if (version == 15) {
      i.WriteText(L::kObjectIdLong, L::kObjectIdLongLength, object);
    } else {
      i.WriteText(L::kObjectIdShort, L::kObjectIdShortLength, object);
    }
  });
  return options;
}

TEST(CompareWithController, TheReadGoesIntoTheComparisonOnly) {
  LinkBench b(HoldingObject(15, "SIM-7"));
  ASSERT_TRUE(b.Connect());
  b.model.pages.PasswordEdit.text = "1234";
  b.model.pages.PasswordEditExit();
  ASSERT_TRUE(b.model.Modified());
  const Bytes working = b.model.ws.working.bytes();
  const std::string tree1 = WriteTreeText(b.model.Tree1);
  int reads = 0;
  b.link.OnCompareRead = [&] { ++reads; };
  const std::size_t mark = b.Mark();
  b.link.CompareClick();
  EXPECT_TRUE(b.link.progressVisible);
  EXPECT_FALSE(b.link.mainEnabled);
  EXPECT_EQ(b.model.status, T::kComparing);
  EXPECT_EQ(b.link.Phase(), ControllerLink::TransferPhase::Read);
  ASSERT_TRUE(b.RunUntil([&] { return b.link.compareResult.has_value(); }, 20000));
  EXPECT_EQ(b.link.compareResult, true);
  EXPECT_EQ(reads, 1);
  // On the wire exactly what a read sends.
  EXPECT_EQ(b.Sent(mark), "LOAD\n");
  ASSERT_TRUE(b.link.compareImage.has_value());
  EXPECT_EQ(*b.link.compareImage, b.sim().image());
  EXPECT_EQ(b.link.compareVersion, 15);
  // The working configuration, its pages, trees and unsaved changes stay.
  EXPECT_EQ(b.model.ws.working.bytes(), working);
  EXPECT_EQ(WriteTreeText(b.model.Tree1), tree1);
  EXPECT_EQ(b.model.pages.ObjectID.text, "");
  EXPECT_EQ(b.model.pages.PasswordEdit.text, "1234");
  EXPECT_TRUE(b.model.Modified());
  EXPECT_FALSE(b.link.loadResult.has_value());
  EXPECT_EQ(b.model.status, T::kCompareRead);
  EXPECT_FALSE(b.link.progressVisible);
  EXPECT_TRUE(b.link.mainEnabled);
  EXPECT_TRUE(b.model.N13.enabled);
  EXPECT_TRUE(b.ShellUpToDate());
  EXPECT_TRUE(b.Shown().empty());

  Comparison c(ControllerSettingsFile(b.model, b.link.compareVersion, *b.link.compareImage), C::kController);
  c.Refresh(b.model);
  const std::vector<Row> expected = {
      {G::Common, "ObjectID", "", "SIM-7", "ObjectID", ""},
      {G::Common, "PasswordEdit", "1234", "", "PasswordEdit", ""},
      {G::Other, "checksum", "differs", "matches", "", C::kDerived},
  };
  EXPECT_EQ(Rows(c), expected) << RowsText(c);
  EXPECT_TRUE(c.HasDifference());
}

// A configuration just read from the controller compares equal with it: the
// checksum state the controller holds and the working configuration does not
// is a note, no difference.
TEST(CompareWithController, AConfigurationJustReadComparesEqual) {
  for (const int version : {12, 15}) {
    SCOPED_TRACE(version);
    LinkBench b(HoldingObject(version, "SIM-7"));
    ASSERT_TRUE(b.Connect());
    b.link.N14Click();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.loadResult.has_value(); }, 20000));
    ASSERT_EQ(b.link.loadResult, true);
    b.link.CompareClick();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.compareResult.has_value(); }, 20000));
    ASSERT_EQ(b.link.compareResult, true);
    Comparison c(ControllerSettingsFile(b.model, b.link.compareVersion, *b.link.compareImage), C::kController);
    c.Refresh(b.model);
    EXPECT_FALSE(c.HasDifference()) << RowsText(c);
    EXPECT_EQ(c.TakeableCount(), 0U) << RowsText(c);
    for (const ComparisonRow& r : c.rows()) EXPECT_TRUE(r.note) << r.name;
  }
}

// A controller of another version than the working configuration follows:
// its configuration is read and compared under its own version.
TEST(CompareWithController, TheControllersOwnVersionIsRead) {
  LinkBench b(HoldingObject(12, "S12"));
  ASSERT_TRUE(b.Connect());
  b.model.ApplyProfile(15);  // the user chose v. 15 after connecting
  const Bytes working = b.model.ws.working.bytes();
  b.link.CompareClick();
  EXPECT_EQ(b.model.gaugeMax, 5121);
  ASSERT_TRUE(b.RunUntil([&] { return b.link.compareResult.has_value(); }, 20000));
  ASSERT_EQ(b.link.compareResult, true) << (b.Shown().empty() ? "" : b.Shown()[0]);
  EXPECT_EQ(b.link.compareVersion, 12);
  EXPECT_EQ(b.link.compareImage->size(), 5121u);
  EXPECT_EQ(b.model.ws.working.bytes(), working);
  EXPECT_EQ(b.model.ws.FirmwareVersion, 15);
  Comparison c(ControllerSettingsFile(b.model, b.link.compareVersion, *b.link.compareImage), C::kController);
  c.Refresh(b.model);
  ASSERT_FALSE(c.rows().empty());
  EXPECT_EQ(c.rows()[IndexOf(c, "ObjectID")].other, "S12");
  EXPECT_EQ(c.rows()[IndexOf(c, "firmware")].working, "15");
  EXPECT_EQ(c.rows()[IndexOf(c, "firmware")].other, "12");
}

TEST(CompareWithController, AFailedReadLeavesEverythingAsItWas) {
  struct Case {
    const char* name;
    bool connect;  // else the search for the controller has only begun
    std::function<void(LinkBench&)> fault;
    std::string box;
    bool error;
  };
  const std::vector<Case> cases = {
      {"not connected", false, nullptr, T::kNotConnected92, true},
      {"no LOAD_OK", true, [](LinkBench& b) { b.faults().noLoadOk = true; }, T::kNoAnswer93, true},
      {"a short image", true, [](LinkBench& b) { b.faults().shortImage = 100; }, T::kBadLength, true},
      {"the controller stops", true, [](LinkBench& b) { b.faults().hangUpAt = 2000; }, T::kTimeout, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkBench b(HoldingObject(15, "SIM-7"));
    if (c.connect) {
      ASSERT_TRUE(b.Connect());
    } else {
      b.ClickPort(0);
      b.dialogs.Clear();
    }
    if (c.fault) c.fault(b);
    const Bytes working = b.model.ws.working.bytes();
    int reads = 0;
    b.link.OnCompareRead = [&] { ++reads; };
    b.link.CompareClick();
    ASSERT_TRUE(b.RunUntil([&] { return b.link.compareResult.has_value(); }, 120000));
    EXPECT_EQ(b.link.compareResult, false);
    EXPECT_EQ(reads, 0);
    EXPECT_FALSE(b.link.compareImage.has_value());
    ASSERT_EQ(b.Shown(), std::vector<std::string>{c.box});
    EXPECT_EQ(b.dialogs.shown[0].error, c.error);
    EXPECT_EQ(b.model.status, T::kCompareFailed);
    EXPECT_FALSE(b.link.progressVisible);
    EXPECT_TRUE(b.link.mainEnabled);
    EXPECT_FALSE(b.link.Transferring());
    // An image that still comes is not taken by anything.
    b.Inject("\r\n" + testing::Str(b.sim().image()) + "LOAD_OK\r\n");
    b.Run(100);
    EXPECT_EQ(b.model.ws.working.bytes(), working);
    EXPECT_EQ(b.model.pages.ObjectID.text, "");
    EXPECT_FALSE(b.model.Modified());
    EXPECT_FALSE(b.link.loadResult.has_value());
    b.checkProtocol = false;  // the injected reply was never asked for
  }
}

// The read-back after a write that differs from what was sent is offered for
// a comparison.
TEST(CompareWithController, AReadBackThatDiffersIsCompared) {
  LinkBench b(HoldingObject(15, "SIM-7"));
  b.checkProtocol = false;  // the controller's memory changes behind the PC's back
  ASSERT_TRUE(b.Connect());
  int offered = 0;
  b.link.OnReadBackDiffers = [&] { ++offered; };
  bool changed = false;
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil(
      [&] {
        if (!changed && b.link.TransferCount > 1000) {
          Bytes held = b.sim().image();
          held[L::SourceBlock(2, 1) + L::kBlockRelays] = 'Z';
          b.sim().SetImage(held);
          changed = true;
        }
        return b.link.saveResult.has_value();
      },
      200000));
  EXPECT_EQ(b.link.saveResult, false);
  EXPECT_EQ(offered, 1);
  ASSERT_TRUE(b.link.LastWrite().readBack.has_value());
  Comparison c(ControllerSettingsFile(b.model, b.model.ws.FirmwareVersion, *b.link.LastWrite().readBack), C::kReadBack);
  c.Refresh(b.model);
  // The write stored the checksum the changed byte no longer matches.
  const std::vector<Row> expected = {
      {G::ControlTree, "Вход 3/Размыкание/relays", "NNNNNNNNNNNNNNNN", "ZNNNNNNNNNNNNNNN", "Вход 3/Размыкание/relays",
       ""},
      {G::Other, "checksum", "matches", "differs", "", C::kDerived},
  };
  EXPECT_EQ(Rows(c), expected) << RowsText(c);
}

// A read-back of another length is told by the message alone: its settings
// could not be named by the bytes they hold.
TEST(CompareWithController, AReadBackOfAnotherLengthIsNotCompared) {
  LinkBench b(HoldingObject(15, "SIM-7"));
  ASSERT_TRUE(b.Connect());
  b.faults().shortImage = 100;  // every read, the read-back too
  int offered = 0;
  b.link.OnReadBackDiffers = [&] { ++offered; };
  b.link.N15Click();
  ASSERT_TRUE(b.RunUntil([&] { return b.link.saveResult.has_value(); }, 200000));
  EXPECT_EQ(b.link.saveResult, false);
  ASSERT_EQ(b.Shown().size(), 1u);
  EXPECT_NE(b.Shown()[0].find("Длина конфигурации в контроллере: 100 байт, передано 5484."), std::string::npos)
      << b.Shown()[0];
  EXPECT_EQ(offered, 0);
}

}  // namespace
}  // namespace vemtaro
