#include "window/main_model.h"

#include "files/tree_text.h"
#include "model/layout.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace L = layout;

MainModel::MainModel(UserDialogs& dialogs)
    : pages(ws, Tree1, Tree2, dialogs), commands(Tree1, Tree2, ws.working, dialogs), dialogs_(dialogs) {
  for (std::size_t i = 0; i < kProfiles.size(); ++i) {
    versionMenu[i] = {kProfiles[i].menuName, kProfiles[i].menuCaption, i == 0};
  }
  MarkUnmodified();
}

SubscriberEdits MainModel::AbonentEdits() const {
  SubscriberEdits edits;
  for (std::size_t k = 0; k < edits.size(); ++k) edits[k] = pages.AbonentNo[k].text;
  return edits;
}

void MainModel::Startup() {
  ws.KeepImage = false;
  pages.ResetImage();
  BuildTree1(Tree1, ws.working);
  BuildTree2(Tree2, ws.working, ws.FirmwareVersion);
  v151Click();
  N13.enabled = false;
  MarkUnmodified();
}

void MainModel::ApplyProfile(int version) {
  const VersionProfile* profile = FindProfile(version);
  if (profile == nullptr) return;
  // The version, the phone numbers' width, the checksum, the gauge's maximum
  // and the images' length.
  ws.FirmwareVersion = version;
  pages.CenterPhone.maxLength = profile->phoneWidth;
  for (auto& edit : pages.AbonentNo) edit.maxLength = profile->phoneWidth;
  // The object identifier follows the version too, whether or not the image
  // is kept: its edit and the field it is stored in always have one width.
  pages.FitObjectIdToVersion();
  ws.ChecksumEnabled = profile->checksum;
  N22.checked = profile->checksum;
  if (profile->gauge) gaugeMax = *profile->gauge;
  ws.working.Resize(profile->imageLength);
  ws.incoming.Resize(profile->imageLength);
  // Version 15 keeps its object identifier at its own place.
  if (version == 15) pages.ObjectIDExit();
  // Without KeepImage: guard mode allowed, defaults, trees anew.
  if (!ws.KeepImage) {
    pages.SetOhrIndex(0);
    pages.ResetImage();
    ResetTrees(Tree1, Tree2, ws.working, ws.FirmwareVersion);
    commands.ClickedNode = nullptr;
  }
  // The version's item is checked; the version's controls and unit captions
  // follow.
  ApplyVersionControls(profile->menuName);
}

void MainModel::ApplyVersionControls(const std::string& itemName) {
  for (auto& item : versionMenu) item.checked = item.name == itemName;
  pages.ApplyVersionStates(ws.FirmwareVersion);
  pages.ApplyUnitCaptions(ws.FirmwareVersion);
}

void MainModel::N22Click() {
  N22.checked = !N22.checked;
  ws.ChecksumEnabled = N22.checked;
}

void MainModel::Expand(TreeKind kind, TreeNode& node) {
  node.expanded = true;
  if (kind == TreeKind::Control) {
    Tree1Expanded(node, ws.working, ws.abonents, dialogs_);
  } else {
    Tree2Expanded(node, ws.working, ws.abonents, dialogs_);
  }
}

std::optional<std::string> MainModel::SettingsFileBytes(std::string* error) {
  Tree1.CollapseAll();
  Tree2.CollapseAll();
  return WriteSettingsFile(ws.FirmwareVersion, WriteTreeText(Tree1), WriteTreeText(Tree2), ws.working.bytes(), error);
}

bool MainModel::SaveSettings(const std::string& path, FileStore& store) {
  std::string error;
  const auto bytes = SettingsFileBytes(&error);
  if (!bytes || !store.WriteAll(path, *bytes, error)) {
    dialogs_.ShowError(main_texts::kSaveFailed + path + "\r" + error);
    return false;
  }
  status = main_texts::kSaved + path;
  filePlaces.InUse(path);
  MarkUnmodified();
  return true;
}

bool MainModel::OpenSettings(const std::string& path, FileStore& store) {
  std::string bytes;
  std::string error;
  if (!store.ReadAll(path, bytes, error)) {
    dialogs_.ShowError(main_texts::kOpenFailed + path + "\r" + error);
    return false;
  }
  if (!OpenSettingsBytes(bytes, &error)) {
    if (!error.empty()) dialogs_.ShowError(main_texts::kOpenFailed + path + "\r" + error);
    return false;
  }
  filePlaces.InUse(path);
  return true;
}

std::optional<std::string> MainModel::AskSaveFile() {
  auto path = dialogs_.AskSaveFileFrom(filePlaces.SaveStart(pages.ObjectID.text));
  if (path) filePlaces.Chosen(*path);
  return path;
}

void MainModel::N6Click(FileStore& store) {
  if (const auto path = AskSaveFile()) SaveSettings(*path, store);
}

void MainModel::N7Click(FileStore& store) {
  const auto path = dialogs_.AskOpenFileFrom(filePlaces.OpenStart());
  if (!path) return;
  filePlaces.Chosen(*path);
  OpenSettings(*path, store);
}

bool MainModel::OpenSettingsBytes(const std::string& bytes, std::string* error) {
  // Everything is read and checked before the configuration in use changes.
  const SettingsFileParse parsed = ParseSettingsFile(bytes);
  if (!parsed.data) {
    if (error != nullptr) *error = parsed.error.message;
    return false;
  }
  const SettingsFileData& file = *parsed.data;
  Tree tree1;
  Tree tree2;
  const bool tree1Ok = !ReadTreeText(file.tree1, tree1);
  const bool tree2Ok = !ReadTreeText(file.tree2, tree2);

  const VersionProfile* profile = FindProfile(file.version);
  ConfigImage incoming = ws.incoming;
  if (profile != nullptr) incoming.Resize(profile->imageLength);
  if (file.image) {
    incoming.CopyFrom(*file.image);
    if (Pages::CheckImage(incoming, file.version)) {
      // The image could not be shown: the open is refused whole.
      dialogs_.ShowError(page_texts::kDataError);
      if (error != nullptr) error->clear();
      return false;
    }
  }

  // The file's profile, keeping image, guard mode and trees.
  ws.FirmwareVersion = file.version;
  ws.KeepImage = true;
  if (profile != nullptr) ApplyProfile(file.version);
  ws.KeepImage = false;

  commands.ClickedNode = nullptr;
  if (tree1Ok) {
    Tree1.TakeFrom(tree1);
  } else {
    dialogs_.ShowError(main_texts::kTree1Error);
    Tree1.Clear();
    BuildTree1(Tree1, ws.working);
  }
  if (tree2Ok) {
    Tree2.TakeFrom(tree2);
  } else {
    dialogs_.ShowError(main_texts::kTree2Error);
    Tree2.Clear();
    BuildTree2(Tree2, ws.working, ws.FirmwareVersion);
  }

  if (file.image) {
    ws.incoming = std::move(incoming);
    SetStructuralIcons(Tree1, Tree2, ws.FirmwareVersion, ws.incoming.Byte(L::kGuardMode) == std::uint8_t{'1'});
    pages.ApplyIncomingImage(true);
  } else {
    // The image section is unreadable: the configuration takes the defaults of
    // the version and the pages' values, which the stale incoming image must not
    // overwrite.
    dialogs_.ShowError(main_texts::kImageLengthError);
    pages.ShowGuardMode(true);
    pages.ResetImage();
    // The defaults allow guard mode; a guard entry read in the Touch Memory shape
    // takes the guard shape, so the tree and the page agree.
    if (const TreeNode* guard = Tree1.top(L::kGuardSource); guard != nullptr && guard->childCount() < 2) {
      SetGuardBranch(Tree1, ws.working, true);
    }
    SetStructuralIcons(Tree1, Tree2, ws.FirmwareVersion, true);
    if (const auto flags = ws.working.Byte(L::kAlarmFlags)) SetAlarmIcons(Tree1, *flags);
    Tree1.CollapseAll();
    Tree2.CollapseAll();
  }
  status = main_texts::kLoaded;
  MarkUnmodified();
  return true;
}

void MainModel::NamesInto(const Tree& tree, TreeNames& names) {
  names.clear();  // keeps the room of the snapshot before
  tree.ForEach([&names](const TreeNode& node) {
    // Level and length first, as fixed-width numbers, so that no text can
    // pass for another's end.
    const std::size_t size = node.text.size();
    const char head[] = {static_cast<char>(node.level()), static_cast<char>(size & 0xFF),
                         static_cast<char>((size >> 8) & 0xFF), static_cast<char>((size >> 16) & 0xFF),
                         static_cast<char>((size >> 24) & 0xFF)};
    names.append(head, sizeof head).append(node.text);
  });
}

MainModel::TreeNames MainModel::NamesOf(const Tree& tree) {
  TreeNames names;
  NamesInto(tree, names);
  return names;
}

void MainModel::MarkUnmodified() {
  unmodified_.version = ws.FirmwareVersion;
  unmodified_.image = ws.working.bytes();
  NamesInto(Tree1, unmodified_.tree1);
  NamesInto(Tree2, unmodified_.tree2);
}

bool MainModel::Modified() const {
  return ws.FirmwareVersion != unmodified_.version || ws.working.bytes() != unmodified_.image ||
         NamesOf(Tree1) != unmodified_.tree1 || NamesOf(Tree2) != unmodified_.tree2;
}

bool MainModel::SaveChangesFirst(FileStore& store) {
  if (!Modified()) return true;
  switch (dialogs_.AskSaveChanges()) {
    case SaveChangesAnswer::Discard: return true;
    case SaveChangesAnswer::Save:
      // A cancelled save dialog or a failed save keeps the changes, and the
      // action does not go on.
      if (const auto path = AskSaveFile()) return SaveSettings(*path, store);
      return false;
    case SaveChangesAnswer::Cancel: break;
  }
  return false;
}

}  // namespace vemtaro
