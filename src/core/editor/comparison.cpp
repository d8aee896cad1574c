#include "editor/comparison.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "files/tree_text.h"
#include "model/fields.h"

namespace vemtaro {
namespace C = compare_texts;

namespace {

constexpr std::string_view kAbsent = "(absent)";
constexpr std::string_view kRenamed = " [B: ";

// The page a control of the settings listing is on.
CompareGroup PageOf(std::string_view control) {
  using fields::Id;
  for (const fields::Field& f : fields::kFields) {
    const std::string_view name(f.name);
    if (control.substr(0, name.size()) != name) continue;
    // "ID" is a prefix of nothing else; "Input" and "UInput" are told apart
    // by their whole names: the rest is the control's number, or nothing.
    const std::string_view number = control.substr(name.size());
    if ((f.count == 0) != number.empty()) continue;
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    switch (f.id) {
      case Id::ObjectID:
      case Id::PasswordEdit:
      case Id::AbonentNo:
      case Id::CenterPhone:
      case Id::NumOfAttempts:
      case Id::StatusSMS:
      case Id::StatusMessages: return CompareGroup::Common;
      case Id::Input:
      case Id::UInput:
      case Id::AInput:
      case Id::UAInput:
      case Id::Rele: return CompareGroup::Setup;
      case Id::ID: return CompareGroup::ParametricTree;
      case Id::Vihod:
      case Id::MasterKey:
      case Id::Zones:
      case Id::AZones:
      case Id::Ohr:
      case Id::OhrSMS: return CompareGroup::Guard;
    }
  }
  return CompareGroup::Other;
}

// The group of an item of the listing, by its key.
CompareGroup GroupOf(std::string_view key) {
  if (key.rfind("tree1@", 0) == 0 || key.rfind("alarm", 0) == 0) return CompareGroup::ControlTree;
  if (key.rfind("tree2@", 0) == 0) return CompareGroup::ParametricTree;
  return PageOf(key);
}

// The items the listing gives for the configuration as a whole, not settings.
bool IsWhole(std::string_view key) {
  return key == "firmware" || key == "checksum" || key == "tree1" || key == "tree2";
}

// Whether a difference's name is that of the item: the same name, or the
// item's name with the other side's node name after it.
bool NamesItem(std::string_view difference, std::string_view item) {
  if (difference == item) return true;
  return difference.size() > item.size() + kRenamed.size() && difference.substr(0, item.size()) == item &&
         difference.substr(item.size(), kRenamed.size()) == kRenamed && difference.back() == ']';
}

// A refusal as one line of the box: its own line breaks become blanks.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

}  // namespace

const char* CompareGroupCaption(CompareGroup group) {
  switch (group) {
    case CompareGroup::Common: return "Общие установки";
    case CompareGroup::Setup: return "Задержки входов и реле";
    case CompareGroup::ControlTree: return "Контрольные датчики";
    case CompareGroup::ParametricTree: return "Параметрические датчики";
    case CompareGroup::Guard: return "Режим охраны";
    case CompareGroup::Other: return "Прочее";
  }
  return "Прочее";
}

SettingsFileData WorkingSettingsFile(const MainModel& model) {
  SettingsFileData file;
  file.version = model.ws.FirmwareVersion;
  file.tree1 = WriteTreeText(model.Tree1);
  file.tree2 = WriteTreeText(model.Tree2);
  file.image = model.ws.working.bytes();
  return file;
}

SettingsFileData ControllerSettingsFile(const MainModel& model, int version, const Bytes& image) {
  SettingsFileData file = WorkingSettingsFile(model);
  file.version = version;
  file.image = image;
  return file;
}

std::optional<SettingsFileData> AskComparedFile(MainModel& model, FileStore& store, std::string* path) {
  UserDialogs& dialogs = model.dialogs();
  const std::optional<std::string> chosen = dialogs.AskOpenFileName();
  if (!chosen) return std::nullopt;
  if (path != nullptr) *path = *chosen;
  std::string bytes;
  std::string error;
  if (!store.ReadAll(*chosen, bytes, error)) {
    dialogs.ShowError(main_texts::kOpenFailed + *chosen + "\r" + error);
    return std::nullopt;
  }
  SettingsFileParse parsed = ParseSettingsFile(bytes);
  if (!parsed.data) {
    dialogs.ShowError(main_texts::kOpenFailed + *chosen + "\r" + parsed.error.message);
    return std::nullopt;
  }
  return std::move(parsed.data);
}

Comparison::Comparison(SettingsFileData other, std::string caption)
    : other_(std::move(other)),
      caption_(std::move(caption)),
      otherInspection_(InspectSettingsFile(other_)),
      otherFlat_(FlattenInspection(otherInspection_)) {}

void Comparison::Refresh(const MainModel& model) {
  const Inspection working = InspectSettingsFile(WorkingSettingsFile(model));
  const std::vector<FlatItem> flat = FlattenInspection(working);
  const std::vector<InspectDifference> differences = DiffInspections(working, flat, otherInspection_, otherFlat_);

  std::unordered_map<std::string_view, const FlatItem*> otherByKey;
  std::unordered_map<std::string_view, const FlatItem*> otherByName;
  otherByKey.reserve(otherFlat_.size());
  otherByName.reserve(otherFlat_.size());
  for (const FlatItem& item : otherFlat_) {
    otherByKey.emplace(item.key, &item);
    otherByName.emplace(item.name, &item);
  }

  std::array<std::vector<ComparisonRow>, kCompareGroupCount> groups;
  // The differences follow the working listing's order: each is looked for
  // from the item after the one found before.
  std::size_t next = 0;
  for (const InspectDifference& d : differences) {
    ComparisonRow row;
    row.listed = static_cast<std::size_t>(&d - differences.data());
    row.name = d.name;
    row.working = d.a;
    row.other = d.b;
    row.note = d.note;
    const FlatItem* mine = nullptr;
    if (!d.imageBytes && d.a != kAbsent) {
      for (std::size_t i = next; i < flat.size(); ++i) {
        if (NamesItem(d.name, flat[i].name) && ValueText(flat[i].value) == d.a) {
          mine = &flat[i];
          next = i + 1;
          break;
        }
      }
    }
    const FlatItem* theirs = nullptr;
    if (mine != nullptr) {
      if (const auto it = otherByKey.find(mine->key); it != otherByKey.end()) theirs = it->second;
    } else if (!d.imageBytes) {
      if (const auto it = otherByName.find(d.name); it != otherByName.end()) theirs = it->second;
    }
    const FlatItem* item = mine != nullptr ? mine : theirs;
    const std::string_view key = item != nullptr ? std::string_view(item->key) : std::string_view();
    row.group = item != nullptr ? GroupOf(key) : CompareGroup::Other;

    if (d.imageBytes || item == nullptr) {
      row.why = C::kNotASetting;
    } else if (key == "checksum") {
      row.why = C::kDerived;
    } else if (d.note) {
      row.why = C::kChecksumByte;
    } else if (IsWhole(key)) {
      row.why = C::kNotASetting;
    } else if (mine == nullptr || theirs == nullptr || d.a == kAbsent || d.b == kAbsent) {
      row.why = C::kOneSide;
    } else if (!theirs->value.valid()) {
      row.why = C::kUnreadable;
    } else if (d.a == d.b) {
      row.why = C::kNamesOnly;
    } else {
      row.setting = mine->name;
    }
    groups[static_cast<std::size_t>(row.group)].push_back(std::move(row));
  }
  rows_.clear();
  rows_.reserve(differences.size());
  for (auto& group : groups) {
    for (auto& row : group) rows_.push_back(std::move(row));
  }
}

bool Comparison::HasDifference() const {
  return std::any_of(rows_.begin(), rows_.end(), [](const ComparisonRow& r) { return !r.note; });
}

std::size_t Comparison::TakeableCount() const {
  return static_cast<std::size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const ComparisonRow& r) { return r.Takeable(); }));
}

TakeOutcome Comparison::Take(MainModel& model, EditDialogs& dialogs, const std::vector<std::size_t>& chosen) {
  TakeOutcome outcome;
  // In the listing's order, whatever the order of the groups: a subscriber
  // number before the phone slots that select it, the guard mode before the
  // guard entry of the tree.
  std::vector<const ComparisonRow*> taken;
  for (std::size_t index : chosen) {
    if (index < rows_.size() && rows_[index].Takeable()) taken.push_back(&rows_[index]);
  }
  std::sort(taken.begin(), taken.end());
  taken.erase(std::unique(taken.begin(), taken.end()), taken.end());
  std::sort(taken.begin(), taken.end(),
            [](const ComparisonRow* a, const ComparisonRow* b) { return a->listed < b->listed; });
  std::vector<SettingAssignment> list;
  for (const ComparisonRow* row : taken) list.push_back({row->setting, row->other});
  const std::size_t wanted = list.size();
  // The values are taken in the listing's order, the guard mode moved before
  // or after the guard settings it enables or disables. A refused value is
  // left out and the rest taken again: those already taken are equal to what
  // their controls show now, which changes nothing.
  while (!list.empty()) {
    BatchResult batch = SetSettings(model, dialogs, list);
    for (std::string& note : batch.notes) {
      if (std::find(outcome.notes.begin(), outcome.notes.end(), note) == outcome.notes.end()) {
        outcome.notes.push_back(std::move(note));
      }
    }
    if (batch.ok) break;
    const SettingAssignment& failed = list[batch.failed];
    outcome.refused.push_back({failed.name, failed.value, batch.failure.message});
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(batch.failed));
  }
  outcome.taken = wanted - outcome.refused.size();
  if (!outcome.refused.empty()) {
    std::string text = C::kNotTaken;
    for (const auto& r : outcome.refused) text += "\r" + r.name + " = " + r.value + ": " + OneLine(r.message);
    dialogs.ShowError(text);
  }
  if (!outcome.notes.empty()) {
    std::string text;
    for (const std::string& note : outcome.notes) text += (text.empty() ? "" : "\r") + OneLine(note);
    dialogs.ShowMessage(text);
  }
  Refresh(model);
  return outcome;
}

}  // namespace vemtaro
