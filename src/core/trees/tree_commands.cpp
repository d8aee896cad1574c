#include "trees/tree_commands.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "model/cp1251.h"
#include "model/layout.h"
#include "trees/reaction_trees.h"

namespace vemtaro {
namespace L = layout;
namespace TT = tree_texts;
namespace C = command_texts;

namespace {

bool IsAlarmSource(std::size_t s) { return s == kAlarmSource1 || s == kAlarmSource2; }

// An item node at level 3 whose group has exactly the given text.
bool IsItemOf(const TreeNode& node, const char* groupText) {
  return node.level() == 3 && node.parent()->text == groupText;
}
bool IsRelayNode(const TreeNode& node) { return IsItemOf(node, TT::kRelays); }
bool IsSlotNode(const TreeNode& node) { return IsItemOf(node, TT::kPhones); }
bool IsSmsTextNode(const TreeNode& node) { return IsItemOf(node, TT::kSms); }

// A threshold value node: a level-2 node directly followed by a "Реле" group.
bool IsThresholdNode(const TreeNode& node) {
  if (node.level() != 2) return false;
  const TreeNode* next = node.parent()->child(node.index() + 1);
  return next != nullptr && next->text == TT::kRelays;
}

bool Contains(const TreeNode& parent, const TreeNode* node) {
  for (const auto& ch : parent.children()) {
    if (ch.get() == node || Contains(*ch, node)) return true;
  }
  return false;
}

// The relay field of a relay node: its reaction block, or the relay list of an
// alarm clock.
std::optional<std::size_t> RelayField(bool tree1, const TreeNode& node) {
  return tree1 ? Tree1Block(node) : Tree2Block(node);
}

// The reaction block of a phone slot or SMS node. The alarm clocks have relays
// only: their fields are followed by other settings, never phone slots or texts.
std::optional<std::size_t> ReactionBlock(bool tree1, const TreeNode& node) {
  if (tree1 && IsAlarmSource(TopIndex(node))) return std::nullopt;
  return RelayField(tree1, node);
}

const char* RelayWord(std::uint8_t code) {
  if (code == L::kRelayOn) return C::kRelayOn;
  if (code == L::kRelayOff) return C::kRelayOff;
  return C::kRelayUnchanged;
}

std::string PhoneItemName(int k) {
  std::string name = "N";
  name += std::to_string(k);
  name += '1';
  return name;
}

}  // namespace

std::string RelayNumber(std::string_view relayText) {
  const std::string first = Utf8Left(relayText, 1);
  if (first.size() < relayText.size() && relayText[first.size()] == ' ') return first;
  return Utf8Left(relayText, 2);
}

PopupItem* PopupMenu::Find(std::string_view itemName) {
  for (auto& item : items) {
    if (item.name == itemName) return &item;
  }
  return nullptr;
}

const PopupItem* PopupMenu::Find(std::string_view itemName) const {
  for (const auto& item : items) {
    if (item.name == itemName) return &item;
  }
  return nullptr;
}

TreeCommands::TreeCommands(Tree& tree1, Tree& tree2, ConfigImage& image, UserDialogs& dialogs)
    : tree1_(tree1), tree2_(tree2), image_(image), dialogs_(dialogs) {
  LMDPopupMenu1.name = "LMDPopupMenu1";
  LMDPopupMenu1.items.push_back({"N1", C::kClearPhones, icons::kClearPhones, true});
  for (int k = 1; k <= 9; ++k) {
    LMDPopupMenu1.items.push_back({PhoneItemName(k), "", icons::kPhoneSlot, false});
  }
  LMDPopupMenu2.name = "LMDPopupMenu2";
  LMDPopupMenu2.items = {{"N2", C::kRelayOn, icons::kRelayOn, true},
                         {"N3", C::kRelayOff, icons::kRelayOff, true},
                         {"N4", C::kRelayUnchanged, icons::kRelayUnchanged, true}};
  LMDPopupMenu3.name = "LMDPopupMenu3";
  LMDPopupMenu3.items = {{"N12", C::kRename, icons::kRename, true}, {"N18", C::kAlarmToggle, icons::kAlarmOn, false}};
  LMDPopupMenu4.name = "LMDPopupMenu4";
  LMDPopupMenu4.items = {{"N17", C::kChangeTime, icons::kAlarmTime, true}};
}

PopupMenu* TreeCommands::Menu(PopupMenuId id) {
  switch (id) {
    case PopupMenuId::LMDPopupMenu1: return &LMDPopupMenu1;
    case PopupMenuId::LMDPopupMenu2: return &LMDPopupMenu2;
    case PopupMenuId::LMDPopupMenu3: return &LMDPopupMenu3;
    case PopupMenuId::LMDPopupMenu4: return &LMDPopupMenu4;
    case PopupMenuId::None: break;
  }
  return nullptr;
}

TreeCommands::Which TreeCommands::TreeOf(const TreeNode* node) const {
  if (node == nullptr) return Which::None;
  const TreeNode* root = node;
  while (root->parent() != nullptr) root = root->parent();
  if (root == &tree1_.root()) return Which::Tree1;
  if (root == &tree2_.root()) return Which::Tree2;
  return Which::None;
}

// ClickedNode is kept between presses, and the trees may have been rebuilt since
// (version switch, guard branch, file): it is used only while a tree still holds
// it, found by its address alone.
TreeCommands::Which TreeCommands::LiveTreeOf(const TreeNode* node) const {
  if (node == nullptr) return Which::None;
  if (Contains(tree1_.root(), node)) return Which::Tree1;
  if (Contains(tree2_.root(), node)) return Which::Tree2;
  return Which::None;
}

TreeNode* TreeCommands::AlarmTimeNode() const {
  if (LiveTreeOf(ClickedNode) != Which::Tree1) return nullptr;
  if (ClickedNode->level() != 1 || !IsAlarmSource(TopIndex(*ClickedNode))) return nullptr;
  return ClickedNode;
}

void TreeCommands::PrepareNameMenu(bool alarm, int alarmIcon) {
  LMDPopupMenu3.Find("N12")->visible = true;
  PopupItem* toggle = LMDPopupMenu3.Find("N18");
  toggle->visible = alarm;
  if (alarm) toggle->icon = alarmIcon == icons::kAlarmOn ? icons::kAlarmOff : icons::kAlarmOn;
}

void TreeCommands::PrepareRelayMenu(const TreeNode& relay) {
  const std::string number = RelayNumber(relay.text) + C::kRelaySeparator;
  LMDPopupMenu2.Find("N2")->caption = number + C::kRelayOn;
  LMDPopupMenu2.Find("N3")->caption = number + C::kRelayOff;
  LMDPopupMenu2.Find("N4")->caption = number + C::kRelayUnchanged;
}

void TreeCommands::PreparePhoneMenu(const SubscriberEdits& abonentEdits) {
  for (int k = 1; k <= 9; ++k) {
    PopupItem* item = LMDPopupMenu1.Find(PhoneItemName(k));
    item->caption = abonentEdits[k - 1];
    item->visible = !abonentEdits[k - 1].empty();
  }
}

// The presses both trees share: the SMS text entry, the relay menu and the
// phone slot menu.
PopupMenuId TreeCommands::LeafPress(TreeNode& node, bool right, bool doubleClick, const SubscriberEdits& abonentEdits) {
  if (doubleClick && IsSmsTextNode(node)) {
    SmsTextEntry(node);
    return PopupMenuId::None;
  }
  if (right && IsRelayNode(node)) {
    PrepareRelayMenu(node);
    return PopupMenuId::LMDPopupMenu2;
  }
  if (right && IsSlotNode(node)) {
    PreparePhoneMenu(abonentEdits);
    return PopupMenuId::LMDPopupMenu1;
  }
  return PopupMenuId::None;
}

PopupMenuId TreeCommands::Tree1MouseDown(TreeNode* node, MouseButton button, bool doubleClick,
                                         const SubscriberEdits& abonentEdits) {
  ClickedNode = TreeOf(node) == Which::Tree1 ? node : nullptr;
  if (ClickedNode == nullptr) return PopupMenuId::None;
  const bool right = button == MouseButton::Right;
  const int level = node->level();
  const std::size_t s = TopIndex(*node);
  if (right && level == 0) {
    PrepareNameMenu(IsAlarmSource(s), node->icon);
    return PopupMenuId::LMDPopupMenu3;
  }
  if (right && level == 1 && s < L::kSourceCount) {
    PrepareNameMenu(false, node->icon);
    return PopupMenuId::LMDPopupMenu3;
  }
  if (right && level == 1 && IsAlarmSource(s)) return PopupMenuId::LMDPopupMenu4;
  return LeafPress(*node, right, doubleClick, abonentEdits);
}

PopupMenuId TreeCommands::Tree2MouseDown(TreeNode* node, MouseButton button, bool doubleClick,
                                         const SubscriberEdits& abonentEdits) {
  ClickedNode = TreeOf(node) == Which::Tree2 ? node : nullptr;
  if (ClickedNode == nullptr) return PopupMenuId::None;
  const bool right = button == MouseButton::Right;
  const int level = node->level();
  if (right && (level == 0 || level == 1)) {
    PrepareNameMenu(false, node->icon);
    return PopupMenuId::LMDPopupMenu3;
  }
  if (doubleClick && IsThresholdNode(*node)) {
    ThresholdEntry(*node);
    return PopupMenuId::None;
  }
  return LeafPress(*node, right, doubleClick, abonentEdits);
}

void TreeCommands::PopupClosed() { LMDPopupMenu3.Find("N18")->visible = false; }

bool TreeCommands::Click(std::string_view itemName, const std::vector<TreeNode*>& selection) {
  using Handler = std::function<void()>;
  // clang-format off
  const std::pair<const char*, Handler> handlers[] = {
      {"N1", [this] { N1Click(); }},
      {"N2", [&] { N2Click(selection); }},
      {"N3", [&] { N3Click(selection); }},
      {"N4", [&] { N4Click(selection); }},
      {"N11", [this] { N11Click(); }},
      {"N21", [this] { N21Click(); }},
      {"N31", [this] { N31Click(); }},
      {"N41", [this] { N41Click(); }},
      {"N51", [this] { N51Click(); }},
      {"N61", [this] { N61Click(); }},
      {"N71", [this] { N71Click(); }},
      {"N81", [this] { N81Click(); }},
      {"N91", [this] { N91Click(); }},
      {"N12", [&] { N12Click(selection); }},
      {"N17", [this] { N17Click(); }},
      {"N18", [this] { N18Click(); }},
  };
  // clang-format on
  for (const auto& [name, handler] : handlers) {
    if (itemName == name) {
      handler();
      return true;
    }
  }
  return false;
}

void TreeCommands::SetRelays(const std::vector<TreeNode*>& selection, std::uint8_t code) {
  for (TreeNode* node : selection) {
    if (node == nullptr || !IsRelayNode(*node)) continue;
    const Which which = TreeOf(node);
    if (which == Which::None) continue;
    node->text = RelayNumber(node->text) + C::kRelaySeparator + RelayWord(code);
    node->icon = RelayIcon(code);
    const auto field = RelayField(which == Which::Tree1, *node);
    const std::size_t relay = node->index();
    if (field && relay < L::kRelayCount) image_.SetByte(*field + L::kBlockRelays + relay, code);
  }
}

void TreeCommands::N2Click(const std::vector<TreeNode*>& selection) { SetRelays(selection, L::kRelayOn); }
void TreeCommands::N3Click(const std::vector<TreeNode*>& selection) { SetRelays(selection, L::kRelayOff); }
void TreeCommands::N4Click(const std::vector<TreeNode*>& selection) { SetRelays(selection, L::kUnchanged); }

void TreeCommands::AssignPhone(int k) {
  if (k < 1 || k > 9) return;
  const Which which = LiveTreeOf(ClickedNode);
  if (which == Which::None || !IsSlotNode(*ClickedNode)) return;
  const PopupItem* item = LMDPopupMenu1.Find(PhoneItemName(k));
  if (!item->visible) return;
  ClickedNode->text = item->caption;
  const auto block = ReactionBlock(which == Which::Tree1, *ClickedNode);
  const std::size_t slot = ClickedNode->index();
  if (block && slot < L::kPhoneSlotCount) {
    image_.SetByte(*block + L::kBlockPhones + slot, static_cast<std::uint8_t>('0' + k));
  }
}

void TreeCommands::N1Click() {
  const Which which = LiveTreeOf(ClickedNode);
  if (which == Which::None || !IsSlotNode(*ClickedNode)) return;
  TreeNode* group = ClickedNode->parent();
  const std::size_t n = std::min<std::size_t>(group->childCount(), L::kPhoneSlotCount);
  for (std::size_t i = 0; i < n; ++i) group->child(i)->text = EmptySlotText(static_cast<int>(i + 1));
  const auto block = ReactionBlock(which == Which::Tree1, *ClickedNode);
  if (block) image_.Fill(*block + L::kBlockPhones, L::kPhoneSlotCount, L::kUnchanged);
}

void TreeCommands::N12Click(const std::vector<TreeNode*>& selection) {
  for (auto it = selection.rbegin(); it != selection.rend(); ++it) {
    TreeNode* node = *it;
    if (TreeOf(node) == Which::None) continue;
    const auto answer = dialogs_.InputText(C::kRenameCaption, node->text, kNameInputLimit);
    if (answer && !answer->empty()) node->text = Utf8Left(*answer, kNameInputLimit);
  }
}

void TreeCommands::N17Click() {
  if (AlarmTimeNode() != nullptr) Form4.FormShow();
}

void TreeCommands::N18Click() {
  if (LiveTreeOf(ClickedNode) != Which::Tree1 || ClickedNode->level() != 0) return;
  const std::size_t s = ClickedNode->index();
  if (!IsAlarmSource(s)) return;
  const auto flags = image_.Byte(L::kAlarmFlags);
  // Inverting bit 1 of 8 or 9 would give a value of two digits, which the
  // field cannot hold either.
  const int bit = s == kAlarmSource1 ? 1 : 2;
  const int value = flags && *flags >= '0' && *flags <= '9' ? ((*flags - '0') ^ bit) : -1;
  if (value < 0 || value > 9) {
    dialogs_.ShowError(C::kAlarmFlagsInvalid);
    return;
  }
  image_.SetByte(L::kAlarmFlags, static_cast<std::uint8_t>('0' + value));
  ClickedNode->icon = ClickedNode->icon == icons::kAlarmOn ? icons::kAlarmOff : icons::kAlarmOn;
}

void TreeCommands::SmsTextEntry(TreeNode& node) {
  if (!IsSmsTextNode(node)) return;
  const Which which = TreeOf(&node);
  if (which == Which::None) return;
  const auto answer = dialogs_.InputText(C::kSmsCaption, node.text, kSmsInputLimit);
  if (!answer) return;  // cancelled: the message stays as it was
  // The node shows what the image holds: one Windows-1251 byte per character.
  node.text = Cp1251ToUtf8(Utf8ToCp1251(Utf8Left(*answer, kSmsInputLimit)));
  const auto block = ReactionBlock(which == Which::Tree1, node);
  if (block) image_.WriteText(*block + L::kBlockSms, L::kSmsFieldLength, node.text);
}

void TreeCommands::ThresholdEntry(TreeNode& node) {
  if (TreeOf(&node) != Which::Tree2 || !IsThresholdNode(node)) return;
  std::string value = node.text;
  const auto answer = dialogs_.InputText(C::kThresholdCaption, value, kThresholdInputLimit);
  if (answer && !answer->empty()) {
    const std::string typed = Utf8Left(*answer, kThresholdInputLimit);
    const bool valid = std::all_of(typed.begin(), typed.end(), [](char ch) {
      return ch == ' ' || ch == '-' || ch == '.' || (ch >= '0' && ch <= '9');
    });
    if (!valid) dialogs_.ShowMessage(C::kThresholdInvalid);
    value = valid ? typed : std::string(C::kThresholdInvalidValue);
  }
  node.text = value;
  // The value is stored by its state's text; a renamed state stores nothing.
  const std::size_t c = TopIndex(node);
  const std::string& state = node.parent()->text;
  if (c >= L::kChannelCount) return;
  std::optional<std::size_t> field;
  if (state == TT::kAboveMax) field = L::MaxThreshold(c);
  if (state == TT::kBelowMin) field = L::MinThreshold(c);
  if (!field) return;
  std::string coded = Utf8ToCp1251(value);
  coded.resize(L::kThresholdLength, ' ');
  image_.SetRaw(*field, coded);
}

void TForm4::FormShow() {
  const TreeNode* node = owner_.AlarmTimeNode();
  if (node == nullptr) return;
  RzDateTimeEdit1 = node->text;
  visible = true;
}

void TForm4::Button1Click() {
  visible = false;
  TreeNode* node = owner_.AlarmTimeNode();
  if (node == nullptr) return;
  std::string time = RzDateTimeEdit1;
  if (Utf8Length(time) < L::kTimeTextLength) time = "0" + time;
  node->text = time;
  const std::size_t field = TopIndex(*node) == kAlarmSource1 ? L::kAlarm1Time : L::kAlarm2Time;
  owner_.image_.SetRaw(field, Utf8ToCp1251(Utf8Left(time, L::kTimeTextLength)));
}

void TForm4::Button2Click() { visible = false; }

}  // namespace vemtaro
