// The editing commands of the two reaction trees: what a mouse press on a node
// opens (the four popup menus and the two input entries), the menu commands, and
// the alarm time window TForm4.
//
// The trees are edited with the mouse only. A right press on a node prepares the
// popup menu that fits the node's kind; the shell shows that menu at the pointer,
// calls PopupClosed() when it has closed and runs the chosen item through Click()
// (or the item's own handler). A double click on an SMS text node or a threshold
// value node runs the input entry at once. Every command changes the node's text
// and icon and writes the matching bytes of the working image; renaming touches
// the tree alone.
//
// Nodes are mapped to bytes by their position, never by their text (Tree1Block,
// Tree2Block); only the group nodes "Реле", "Телефоны", "SMS" and the threshold
// states are recognised by their exact texts, so a renamed group loses its menus.
// A node that maps to no bytes (outside the reaction areas) gets its new text
// and icon, and nothing is written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/dialogs.h"
#include "model/image.h"
#include "trees/tree.h"

namespace vemtaro {

// User-visible texts of the tree commands.
namespace command_texts {
inline constexpr const char* kClearPhones = "Удалить все";     // N1
inline constexpr const char* kRelayOn = "Включить";            // N2
inline constexpr const char* kRelayOff = "Выключить";          // N3
inline constexpr const char* kRelayUnchanged = "Не изменять";  // N4
inline constexpr const char* kRename = "Изменить название";    // N12
inline constexpr const char* kChangeTime = "Изменить время";   // N17
inline constexpr const char* kAlarmToggle = "Вкл./Выкл.";      // N18
inline constexpr const char* kRelaySeparator = " - ";          // "12 - Включить"
inline constexpr const char* kSmsCaption = "Введите текст сообщения (макс. 32 символа)";
inline constexpr const char* kThresholdCaption = "Введите новое значение";
inline constexpr const char* kRenameCaption = "Введите новое название";
inline constexpr const char* kThresholdInvalid = "Можно использовать только цифры и символы \".\", \"-\"";
inline constexpr const char* kThresholdInvalidValue = "0";
inline constexpr const char* kAlarmFlagsInvalid = "Ошибка данных\rНедопустимое значение признака включения будильников";
inline constexpr const char* kTimeCaption = "Установите время...";  // TForm4
inline constexpr const char* kTimeOk = "Ok";                        // Button1
inline constexpr const char* kTimeCancel = "Отмена";                // Button2
}  // namespace command_texts

// Length limits of the input dialog.
inline constexpr int kSmsInputLimit = 32;
inline constexpr int kThresholdInputLimit = 4;
inline constexpr int kNameInputLimit = 40;

// The texts of the subscriber number edits AbonentNo1..AbonentNo9 (entry k-1 for
// number k), from which the phone slot menu takes its captions.
using SubscriberEdits = std::array<std::string, 9>;

struct PopupItem {
  std::string name;     // N1, N11, ...
  std::string caption;  // UTF-8
  int icon = kNoIcon;   // number in ImageList1
  bool visible = true;
};

struct PopupMenu {
  std::string name;  // LMDPopupMenu1 .. LMDPopupMenu4
  std::vector<PopupItem> items;

  // The item of that name, or nothing.
  PopupItem* Find(std::string_view itemName);
  const PopupItem* Find(std::string_view itemName) const;
};

// The menu a mouse press opens at the pointer.
enum class PopupMenuId { None, LMDPopupMenu1, LMDPopupMenu2, LMDPopupMenu3, LMDPopupMenu4 };

enum class MouseButton { Left, Right, Middle };

// The leading number of a relay node's text: its first character when the
// second is a space, else its first two characters.
std::string RelayNumber(std::string_view relayText);

class TreeCommands;

// The alarm time window "Установите время..." (unit Zaderzhka). Shown modally by
// N17Click for the time node of an alarm clock; the shell shows it while
// `visible` is set, puts the time edit's text into RzDateTimeEdit1 and calls
// Button1Click or Button2Click.
class TForm4 {
 public:
  explicit TForm4(TreeCommands& owner) : owner_(owner) {}
  TForm4(const TForm4&) = delete;
  TForm4& operator=(const TForm4&) = delete;

  const std::string Caption = command_texts::kTimeCaption;
  const std::string Button1 = command_texts::kTimeOk;      // "Ok" button's caption
  const std::string Button2 = command_texts::kTimeCancel;  // "Отмена" button's caption
  std::string RzDateTimeEdit1;                             // the time as the edit shows it: "7:30" or "07:30"
  bool visible = false;                                    // the window is shown

  // The edit takes the text of ClickedNode; the window is shown.
  void FormShow();
  // "Ok": the time (with a "0" put in front when it has fewer than 5
  // characters) becomes ClickedNode's text, its first 5 characters go to
  // 5077..5081 (alarm clock 1) or 5082..5086 (alarm clock 2); the window closes.
  void Button1Click();
  // "Отмена": the window closes, nothing changes.
  void Button2Click();

 private:
  TreeCommands& owner_;
};

class TreeCommands {
 public:
  // The trees, the working image and the dialogs must outlive the commands.
  TreeCommands(Tree& tree1, Tree& tree2, ConfigImage& image, UserDialogs& dialogs);
  TreeCommands(const TreeCommands&) = delete;
  TreeCommands& operator=(const TreeCommands&) = delete;

  // Phone slot menu: N1 "Удалить все" (27), N11, N21 .. N91 for subscriber
  // numbers 1..9 (14), captions and visibility set when the menu opens.
  PopupMenu LMDPopupMenu1;
  // Relay menu: N2 "Включить" (12), N3 "Выключить" (13), N4 "Не изменять" (11);
  // captions "<relay number> - ..." set when the menu opens.
  PopupMenu LMDPopupMenu2;
  // Source, event, channel and state menu: N12 "Изменить название" (37); N18
  // "Вкл./Выкл." visible only while the menu of an alarm clock node is open.
  PopupMenu LMDPopupMenu3;
  // Alarm time menu: N17 "Изменить время" (52).
  PopupMenu LMDPopupMenu4;
  TForm4 Form4{*this};  // the alarm time window

  // The node under the last mouse press in either tree; nothing after a press
  // beside the nodes. The shell also makes the pressed node selected.
  TreeNode* ClickedNode = nullptr;

  PopupMenu* Menu(PopupMenuId id);

  // A mouse press on Tree1 or Tree2 (node: the node under the pointer, or
  // nothing). Sets ClickedNode, prepares and returns the menu to open, or runs
  // the SMS text entry or threshold entry of a double click (then None).
  PopupMenuId Tree1MouseDown(TreeNode* node, MouseButton button, bool doubleClick, const SubscriberEdits& abonentEdits);
  PopupMenuId Tree2MouseDown(TreeNode* node, MouseButton button, bool doubleClick, const SubscriberEdits& abonentEdits);
  // Hides N18 again once a popup menu has closed.
  void PopupClosed();

  // Runs the menu item of that name; false for an unknown name. The selection
  // is the selected nodes of the tree with the focus, in selection order.
  bool Click(std::string_view itemName, const std::vector<TreeNode*>& selection);

  // Relay on / off / unchanged on every selected relay node, in selection order.
  void N2Click(const std::vector<TreeNode*>& selection);
  void N3Click(const std::vector<TreeNode*>& selection);
  void N4Click(const std::vector<TreeNode*>& selection);
  // Subscriber number k (1..9) into the phone slot ClickedNode; the slot's text
  // becomes the caption of item k. Only a visible item can be assigned.
  void AssignPhone(int k);
  void N11Click() { AssignPhone(1); }
  void N21Click() { AssignPhone(2); }
  void N31Click() { AssignPhone(3); }
  void N41Click() { AssignPhone(4); }
  void N51Click() { AssignPhone(5); }
  void N61Click() { AssignPhone(6); }
  void N71Click() { AssignPhone(7); }
  void N81Click() { AssignPhone(8); }
  void N91Click() { AssignPhone(9); }
  // "Удалить все": empties all nine slots of ClickedNode's "Телефоны" group.
  void N1Click();
  // "Изменить название": asks a new name for every selected node, from the last
  // selected to the first; an empty answer or a cancel leaves the node.
  void N12Click(const std::vector<TreeNode*>& selection);
  // "Изменить время": shows TForm4 for the time node ClickedNode.
  void N17Click();
  // "Вкл./Выкл.": switches the alarm clock ClickedNode on or off.
  void N18Click();

  // The SMS text entry on an SMS text node. Cancelling leaves the message as it
  // was; an empty entry empties it. A character without a Windows-1251 code is
  // stored, and then shown, as '?'.
  void SmsTextEntry(TreeNode& node);
  // The threshold entry on a threshold value node of Tree2.
  void ThresholdEntry(TreeNode& node);

 private:
  friend class TForm4;
  enum class Which { None, Tree1, Tree2 };

  Which TreeOf(const TreeNode* node) const;
  Which LiveTreeOf(const TreeNode* node) const;
  // ClickedNode when it is the time node of an alarm clock, else nothing.
  TreeNode* AlarmTimeNode() const;
  void SetRelays(const std::vector<TreeNode*>& selection, std::uint8_t code);
  void PrepareRelayMenu(const TreeNode& relay);
  void PreparePhoneMenu(const SubscriberEdits& abonentEdits);
  PopupMenuId LeafPress(TreeNode& node, bool right, bool doubleClick, const SubscriberEdits& abonentEdits);
  void PrepareNameMenu(bool alarm, int alarmIcon);

  Tree& tree1_;
  Tree& tree2_;
  ConfigImage& image_;
  UserDialogs& dialogs_;
};

}  // namespace vemtaro
