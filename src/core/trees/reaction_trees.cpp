#include "trees/reaction_trees.h"

#include <array>

#include "model/cp1251.h"
#include "model/layout.h"
#include "model/profiles.h"

namespace vemtaro {
namespace L = layout;
namespace TT = tree_texts;

namespace {

struct EventDefaults {
  const char* name;
  int icon;
  std::string sms;
};

struct SourceDefaults {
  std::string name;
  int icon;
  std::array<EventDefaults, 2> events;
};

SourceDefaults Source(std::size_t s) {
  if (s < 8) {
    const std::string k = std::to_string(s + 1);
    return {"Вход " + k,
            icons::kInput,
            {{{"Замыкание", icons::kFirstEvent, "Вход " + k + " Замкнут"},
              {"Размыкание", icons::kSecondEvent, "Вход " + k + " Разомкнут"}}}};
  }
  if (s == 8) {
    return {"Сеть 220v ",
            icons::kMains,
            {{{"Восстановление", icons::kRelayOn, "Питание от сети ВОССТАНОВЛЕНО"},
              {"Пропадание", icons::kRelayOff, "Питание от сети ОТСУТСТВУЕТ"}}}};
  }
  if (s < 13) {
    const std::string k = std::to_string(s - 9);
    return {"Кнопка " + k,
            icons::kButton,
            {{{"Нажатие", icons::kFirstEvent, "Кнопка " + k + " брелока НАЖАТА"},
              {"Отпускание", icons::kSecondEvent, "Кнопка " + k + " брелока ОТПУЩЕНА"}}}};
  }
  return {TT::kGuardBuilt,
          icons::kGuard,
          {{{TT::kArm, icons::kArm, TT::kArmSms}, {TT::kDisarm, icons::kDisarm, TT::kDisarmSms}}}};
}

std::string ChannelPrefix(std::size_t c, int firmware) {
  if (c >= 8 && !versions::SixteenSensors(firmware)) return "АЦП " + std::to_string(c - 7);
  return "Дат. " + std::to_string(c + 1);
}

bool IsAnalogChannel(std::size_t c, int firmware) { return c >= 8 && !versions::SixteenSensors(firmware); }

void AddRelayGroup(TreeNode& parent, ConfigImage& image, std::size_t start) {
  TreeNode* g = parent.AddChild(TT::kRelays, icons::kRelays);
  for (int k = 1; k <= 16; ++k) g->AddChild(RelayText(k, L::kUnchanged), icons::kRelayUnchanged);
  image.Fill(start + L::kBlockRelays, L::kRelayCount, L::kUnchanged);
}

// Adds "Реле", "Телефоны" and "SMS" with their default items under an event
// node and writes the block's defaults.
void AddReactionGroups(TreeNode& event, ConfigImage& image, std::size_t b, const std::string& sms) {
  AddRelayGroup(event, image, b);
  TreeNode* phones = event.AddChild(TT::kPhones, icons::kPhones);
  for (int k = 1; k <= 9; ++k) phones->AddChild(EmptySlotText(k), icons::kPhoneSlot);
  image.Fill(b + L::kBlockPhones, L::kPhoneSlotCount, L::kUnchanged);
  TreeNode* group = event.AddChild(TT::kSms, icons::kSms);
  group->AddChild(sms, icons::kSmsText);
  image.WriteText(b + L::kBlockSms, L::kSmsFieldLength, sms);
  image.SetByte(b + L::kBlockEnd, L::kFill);
}

TreeNode* FindChild(TreeNode& parent, const char* text) {
  for (const auto& ch : parent.children()) {
    if (ch->text == text) return ch.get();
  }
  return nullptr;
}

void SetSmsNode(TreeNode& event, const std::string& text) {
  TreeNode* group = FindChild(event, TT::kSms);
  if (group == nullptr) return;
  if (group->childCount() == 0) {
    group->AddChild(text, icons::kSmsText);
  } else {
    group->child(0)->text = text;
  }
}

void RefreshRelays(TreeNode& group, const ConfigImage& image, std::size_t start, UserDialogs& dialogs) {
  const std::size_t n = std::min<std::size_t>(group.childCount(), L::kRelayCount);
  for (std::size_t k = 0; k < n; ++k) {
    const auto code = image.Byte(start + k);
    if (!code || (*code != L::kRelayOn && *code != L::kRelayOff && *code != L::kUnchanged)) {
      dialogs.ShowMessage(TT::kInvalidData);
      return;
    }
    TreeNode* item = group.child(k);
    item->text = RelayText(static_cast<int>(k + 1), *code);
    item->icon = RelayIcon(*code);
  }
}

void RefreshPhones(TreeNode& group, const ConfigImage& image, std::size_t start, const AbonentList& abonents,
                   UserDialogs& dialogs) {
  // Every slot is checked first, so an invalid byte changes nothing.
  const std::size_t n = std::min<std::size_t>(group.childCount(), L::kPhoneSlotCount);
  for (std::size_t k = 0; k < n; ++k) {
    const auto b = image.Byte(start + L::kBlockPhones + k);
    if (!b || (*b != L::kUnchanged && (*b < '1' || *b > '9'))) {
      dialogs.ShowMessage(TT::kInvalidData);
      return;
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint8_t b = *image.Byte(start + L::kBlockPhones + k);
    TreeNode* item = group.child(k);
    const int slot = static_cast<int>(k + 1);
    if (b == L::kUnchanged || abonents[b - '1'].empty()) {
      item->text = EmptySlotText(slot);
    } else {
      item->text = abonents[b - '1'];
    }
    item->icon = icons::kPhoneSlot;
  }
}

void RefreshSms(TreeNode& group, const ConfigImage& image, std::size_t start) {
  if (group.childCount() == 0) return;
  group.child(0)->text = image.ReadText(start + L::kBlockSms, L::kSmsFieldLength);
}

std::string WithoutSpaces(const std::string& raw) {
  std::string out;
  for (char c : raw) {
    if (c != ' ') out.push_back(c);
  }
  return Cp1251ToUtf8(out);
}

void SetIcon(TreeNode* n, int icon) {
  if (n != nullptr) n->icon = icon;
}

// Icons of "Реле", "Телефоны", "SMS" from the given child position on, and of
// the SMS text node.
void SetGroupIcons(TreeNode* event, std::size_t first) {
  if (event == nullptr) return;
  SetIcon(event->child(first), icons::kRelays);
  SetIcon(event->child(first + 1), icons::kPhones);
  TreeNode* sms = event->child(first + 2);
  SetIcon(sms, icons::kSms);
  if (sms != nullptr) SetIcon(sms->child(0), icons::kSmsText);
}

}  // namespace

std::string RelayText(int k, std::uint8_t code) {
  const std::string n = std::to_string(k);
  if (code == L::kRelayOn) return n + " - Включить";
  if (code == L::kRelayOff) return n + " - Выключить";
  return n + " - Не изменять";
}

int RelayIcon(std::uint8_t code) {
  if (code == L::kRelayOn) return icons::kRelayOn;
  if (code == L::kRelayOff) return icons::kRelayOff;
  return icons::kRelayUnchanged;
}

std::string EmptySlotText(int k) { return std::to_string(k) + " - Нет -"; }

std::string DefaultSourceName(std::size_t s) {
  if (s == kAlarmSource1 || s == kAlarmSource2) return "Будильник " + std::to_string(s - 13);
  if (s < L::kSourceCount) return Source(s).name;
  return {};
}

std::string DefaultEventName(std::size_t s, std::size_t e) {
  if (s < L::kSourceCount && e < 2) return Source(s).events[e].name;
  return {};
}

std::string DefaultChannelName(std::size_t c, int firmware) {
  if (IsAnalogChannel(c, firmware)) return "АЦП " + std::to_string(c - 7);
  return "Датчик " + std::to_string(c + 1);
}

std::string DefaultStateName(std::size_t e) {
  static constexpr std::array<const char*, 3> kStates = {TT::kAboveMax, TT::kNorm, TT::kBelowMin};
  return e < kStates.size() ? kStates[e] : "";
}

void BuildTree1(Tree& tree1, ConfigImage& image) {
  std::size_t b = L::kControlArea;
  for (std::size_t s = 0; s < L::kSourceCount; ++s) {
    const SourceDefaults src = Source(s);
    TreeNode* source = tree1.AddTop(src.name, src.icon);
    for (const auto& ev : src.events) {
      TreeNode* event = source->AddChild(ev.name, ev.icon);
      AddReactionGroups(*event, image, b, ev.sms);
      b += L::kBlockLength;
    }
  }
  for (int a = 1; a <= 2; ++a) {
    TreeNode* alarm = tree1.AddTop("Будильник " + std::to_string(a), icons::kAlarmOn);
    TreeNode* time = alarm->AddChild(TT::kDefaultTime, icons::kAlarmTime);
    AddRelayGroup(*time, image, a == 1 ? L::kAlarm1Relays : L::kAlarm2Relays);
  }
}

void BuildTree2(Tree& tree2, ConfigImage& image, int firmware) {
  std::size_t b = L::kChannelArea;
  std::size_t t = L::kThresholdArea;
  const std::size_t sensors = versions::SixteenSensors(firmware) ? 16 : 8;
  const std::size_t channels = sensors + (versions::HasAnalogInputs(firmware) ? 8 : 0);
  for (std::size_t c = 0; c < channels; ++c) {
    const bool analog = c >= sensors;
    const std::string prefix = ChannelPrefix(c, firmware);
    TreeNode* channel = tree2.AddTop(DefaultChannelName(c, firmware), analog ? icons::kAnalog : icons::kSensor);
    TreeNode* above = channel->AddChild(TT::kAboveMax, icons::kFirstEvent);
    TreeNode* norm = channel->AddChild(TT::kNorm, icons::kNorm);
    TreeNode* below = channel->AddChild(TT::kBelowMin, icons::kSecondEvent);

    above->AddChild("21", icons::kMaxValue);
    image.SetRaw(t, "21  ");
    t += L::kThresholdLength;
    AddReactionGroups(*above, image, b, prefix + " - БОЛЬШЕ ВЕРХНЕГО порога");
    b += L::kBlockLength;

    AddReactionGroups(*norm, image, b, prefix + " - НОРМА");
    b += L::kBlockLength;

    below->AddChild("-2", icons::kMinValue);
    image.SetRaw(t, "-2  ");
    t += L::kThresholdLength;
    AddReactionGroups(*below, image, b, prefix + " - МЕНЬШЕ НИЖНЕГО порога");
    b += L::kBlockLength;
  }
}

void ResetTrees(Tree& tree1, Tree& tree2, ConfigImage& image, int firmware) {
  tree1.Clear();
  tree2.Clear();
  BuildTree1(tree1, image);
  BuildTree2(tree2, image, firmware);
}

void SetGuardBranch(Tree& tree1, ConfigImage& image, bool enabled) {
  image.WriteFlag(L::kGuardMode, enabled);
  const std::size_t arm = L::kGuardArmBlock;
  const std::size_t disarm = L::kGuardDisarmBlock;
  image.WriteText(arm + L::kBlockSms, L::kSmsFieldLength, enabled ? TT::kArmSms : TT::kTouchSms);
  TreeNode* source = tree1.top(L::kGuardSource);
  if (enabled) {
    // The disarming event is built anew with its defaults.
    image.Fill(disarm + L::kBlockRelays, L::kRelayCount, L::kUnchanged);
    image.Fill(disarm + L::kBlockPhones, L::kPhoneSlotCount, L::kUnchanged);
    image.WriteText(disarm + L::kBlockSms, L::kSmsFieldLength, TT::kDisarmSms);
  }
  if (source == nullptr) return;
  if (source->childCount() == 0) {
    // A tree read from a file may lack the first event; it is built as the builder does.
    ConfigImage scratch(L::kLongImageLength);
    AddReactionGroups(*source->AddChild(TT::kArm, icons::kArm), scratch, arm, TT::kArmSms);
  }
  while (source->childCount() > 1) source->RemoveLastChild();
  TreeNode* first = source->child(0);
  if (enabled) {
    source->text = TT::kGuard;
    source->icon = icons::kGuard;
    first->text = TT::kArm;
    first->icon = icons::kArm;
    SetSmsNode(*first, TT::kArmSms);
    TreeNode* second = source->AddChild(TT::kDisarm, icons::kDisarm);
    // Only the builders write the end byte; the guard switch leaves it as it is.
    const auto end = image.Byte(disarm + L::kBlockEnd);
    AddReactionGroups(*second, image, disarm, TT::kDisarmSms);
    if (end) image.SetByte(disarm + L::kBlockEnd, *end);
  } else {
    source->text = TT::kTouchKey;
    source->icon = icons::kTouchKey;
    first->text = TT::kTouch;
    first->icon = icons::kTouch;
    SetSmsNode(*first, TT::kTouchSms);
  }
  tree1.CollapseAll();
}

std::size_t TopIndex(const TreeNode& node) {
  const TreeNode* top = node.ancestorAt(0);
  return top == nullptr ? 0 : top->index();
}

std::optional<std::size_t> Tree1Block(const TreeNode& node) {
  const int level = node.level();
  if (level != 2 && level != 3) return std::nullopt;
  const std::size_t s = TopIndex(node);
  const std::size_t e = node.ancestorAt(1)->index();
  if (s < L::kSourceCount && e < 2) return L::SourceBlock(s, e);
  if (s == kAlarmSource1 && e == 0) return L::kAlarm1Relays;
  if (s == kAlarmSource2 && e == 0) return L::kAlarm2Relays;
  return std::nullopt;
}

std::optional<std::size_t> Tree2Block(const TreeNode& node) {
  const int level = node.level();
  if (level != 2 && level != 3) return std::nullopt;
  const std::size_t c = TopIndex(node);
  const std::size_t e = node.ancestorAt(1)->index();
  if (c < L::kChannelCount && e < L::kStateCount) return L::ChannelBlock(c, e);
  return std::nullopt;
}

void Tree1Expanded(TreeNode& node, const ConfigImage& image, const AbonentList& abonents, UserDialogs& dialogs) {
  const int level = node.level();
  const std::size_t s = TopIndex(node);
  const bool alarm = s == kAlarmSource1 || s == kAlarmSource2;
  const auto block = Tree1Block(node);
  if (level == 2 && node.text == TT::kRelays && block) {
    RefreshRelays(node, image, *block, dialogs);  // sources 0..13 and the alarm clocks
  }
  if (level == 1 && alarm) {
    node.text = Cp1251ToUtf8(image.Raw(s == kAlarmSource1 ? L::kAlarm1Time : L::kAlarm2Time, L::kTimeTextLength));
  }
  if (alarm || !block) return;
  if (level == 2 && node.text == TT::kPhones) RefreshPhones(node, image, *block, abonents, dialogs);
  if (level == 2 && node.text == TT::kSms) RefreshSms(node, image, *block);
}

void Tree2Expanded(TreeNode& node, const ConfigImage& image, const AbonentList& abonents, UserDialogs& dialogs) {
  const int level = node.level();
  const std::size_t c = TopIndex(node);
  if (level == 2) {
    const auto block = Tree2Block(node);
    if (!block) return;
    if (node.text == TT::kRelays) RefreshRelays(node, image, *block, dialogs);
    if (node.text == TT::kPhones) RefreshPhones(node, image, *block, abonents, dialogs);
    if (node.text == TT::kSms) RefreshSms(node, image, *block);
  } else if (level == 1 && c < L::kChannelCount && node.childCount() > 0) {
    if (node.text == TT::kAboveMax) {
      node.child(0)->text = WithoutSpaces(image.Raw(L::MaxThreshold(c), L::kThresholdLength));
    } else if (node.text == TT::kBelowMin) {
      node.child(0)->text = WithoutSpaces(image.Raw(L::MinThreshold(c), L::kThresholdLength));
    }
  }
}

void SetAlarmIcons(Tree& tree1, std::uint8_t flags) {
  if (flags < '0' || flags > '3') return;
  const int v = flags - '0';
  SetIcon(tree1.top(kAlarmSource1), (v & 1) ? icons::kAlarmOn : icons::kAlarmOff);
  SetIcon(tree1.top(kAlarmSource2), (v & 2) ? icons::kAlarmOn : icons::kAlarmOff);
}

void SetStructuralIcons(Tree& tree1, Tree& tree2, int firmware, bool guardEnabled) {
  const std::size_t channels = std::min<std::size_t>(tree2.topCount(), L::kChannelCount);
  for (std::size_t c = 0; c < channels; ++c) {
    TreeNode* channel = tree2.top(c);
    channel->icon = IsAnalogChannel(c, firmware) ? icons::kAnalog : icons::kSensor;
    static constexpr std::array<int, 3> kStateIcons = {icons::kFirstEvent, icons::kNorm, icons::kSecondEvent};
    for (std::size_t e = 0; e < 3; ++e) {
      TreeNode* state = channel->child(e);
      if (state == nullptr) break;
      state->icon = kStateIcons[e];
      if (e == 1) {
        SetGroupIcons(state, 0);
      } else {
        SetIcon(state->child(0), e == 0 ? icons::kMaxValue : icons::kMinValue);
        SetGroupIcons(state, 1);
      }
    }
  }
  for (std::size_t s = 0; s < L::kSourceCount; ++s) {
    TreeNode* source = tree1.top(s);
    if (source == nullptr) return;
    if (s == L::kGuardSource) {
      source->icon = guardEnabled ? icons::kGuard : icons::kTouchKey;
      SetIcon(source->child(0), guardEnabled ? icons::kArm : icons::kTouch);
      if (guardEnabled) SetIcon(source->child(1), icons::kDisarm);
    } else {
      const SourceDefaults src = Source(s);
      source->icon = src.icon;
      SetIcon(source->child(0), src.events[0].icon);
      SetIcon(source->child(1), src.events[1].icon);
    }
    SetGroupIcons(source->child(0), 0);
    if (s != L::kGuardSource || guardEnabled) SetGroupIcons(source->child(1), 0);
  }
  for (std::size_t s : {kAlarmSource1, kAlarmSource2}) {
    TreeNode* alarm = tree1.top(s);
    if (alarm == nullptr) return;
    TreeNode* time = alarm->child(0);
    SetIcon(time, icons::kAlarmTime);
    if (time != nullptr) SetIcon(time->child(0), icons::kRelays);
  }
}

}  // namespace vemtaro
