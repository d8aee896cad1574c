// The two reaction trees, Tree1 (control sensors) and Tree2 (parametric sensors):
// their default shapes, the guard branch, the refresh of a node's children from
// the image when it is expanded, and the mapping of nodes to image bytes.
//
// The trees are views on the reaction records of the image. Nodes are mapped to
// bytes by their position (level and index), never by their text; only the
// group nodes and the threshold states are recognised by their exact texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "model/dialogs.h"
#include "model/image.h"
#include "model/workspace.h"
#include "trees/tree.h"

namespace vemtaro {

// Icon numbers of ImageList1; they name the node kinds and states.
namespace icons {
inline constexpr int kInput = 3;
inline constexpr int kFirstEvent = 4;   // "Замыкание", "Нажатие", "Выше MAX порога"
inline constexpr int kSecondEvent = 5;  // "Размыкание", "Отпускание", "Ниже MIN уровня"
inline constexpr int kRelays = 6;
inline constexpr int kPhones = 7;
inline constexpr int kSms = 8;
inline constexpr int kRelayUnchanged = 11;
inline constexpr int kRelayOn = 12;
inline constexpr int kRelayOff = 13;
inline constexpr int kPhoneSlot = 14;
inline constexpr int kSmsText = 15;
inline constexpr int kMains = 19;
inline constexpr int kGuard = 20;
inline constexpr int kArm = 21;
inline constexpr int kDisarm = 22;
inline constexpr int kSensor = 23;
inline constexpr int kMaxValue = 24;
inline constexpr int kMinValue = 25;
inline constexpr int kNorm = 26;
inline constexpr int kClearPhones = 27;
inline constexpr int kTouch = 28;
inline constexpr int kRename = 37;
inline constexpr int kTouchKey = 38;
inline constexpr int kAlarmOn = 51;
inline constexpr int kAlarmTime = 52;
inline constexpr int kAlarmOff = 53;
inline constexpr int kButton = 54;
inline constexpr int kAnalog = 55;
}  // namespace icons

namespace tree_texts {
inline constexpr const char* kRelays = "Реле";
inline constexpr const char* kPhones = "Телефоны";
inline constexpr const char* kSms = "SMS";
inline constexpr const char* kAboveMax = "Выше MAX порога";
inline constexpr const char* kNorm = "Норма";
inline constexpr const char* kBelowMin = "Ниже MIN уровня";
inline constexpr const char* kGuardBuilt = "ОХРАНА ";  // as the builder writes it
inline constexpr const char* kGuard = "ОХРАНА";        // as the guard switch writes it
inline constexpr const char* kArm = "Постановка";
inline constexpr const char* kDisarm = "Снятие";
inline constexpr const char* kTouchKey = "КЛЮЧ Touch Memory";
inline constexpr const char* kTouch = "КАСАНИЕ";
inline constexpr const char* kArmSms = "Принято под ОХРАНУ";
inline constexpr const char* kDisarmSms = "Снято с ОХРАНЫ";
inline constexpr const char* kTouchSms = "Kасание ТМ";  // first letter is the Latin K
inline constexpr const char* kDefaultTime = "00:00";
inline constexpr const char* kInvalidData = "Неверные данные в контроллере";
}  // namespace tree_texts

inline constexpr std::size_t kAlarmSource1 = 14;
inline constexpr std::size_t kAlarmSource2 = 15;

// k " - Включить", k " - Выключить" or k " - Не изменять" for a relay code.
std::string RelayText(int k, std::uint8_t code);
int RelayIcon(std::uint8_t code);
// k " - Нет -"
std::string EmptySlotText(int k);

void BuildTree1(Tree& tree1, ConfigImage& image);
void BuildTree2(Tree& tree2, ConfigImage& image, int firmware);
// Empties both trees and builds them again with their defaults.
void ResetTrees(Tree& tree1, Tree& tree2, ConfigImage& image, int firmware);
// Reshapes the guard source (the 14th top-level node) and writes the guard byte.
void SetGuardBranch(Tree& tree1, ConfigImage& image, bool enabled);

// The block of a node at level 2 or 3: in Tree1 118*s + 59*e for sources 0..13
// and the relay fields 5087 / 5103 for the alarm clocks; in Tree2
// 1652 + 177*c + 59*e. Nothing for a node outside these areas.
std::optional<std::size_t> Tree1Block(const TreeNode& node);
std::optional<std::size_t> Tree2Block(const TreeNode& node);
// Index of the top-level node above a node.
std::size_t TopIndex(const TreeNode& node);

// The refresh of a node's children from the image, run at every expansion.
void Tree1Expanded(TreeNode& node, const ConfigImage& image, const AbonentList& abonents, UserDialogs& dialogs);
void Tree2Expanded(TreeNode& node, const ConfigImage& image, const AbonentList& abonents, UserDialogs& dialogs);

// The alarm clock nodes' icons from the alarm digit '0'..'3'; another byte
// leaves them as they are.
void SetAlarmIcons(Tree& tree1, std::uint8_t flags);
// The icons of the structural nodes after both trees were read from a file.
void SetStructuralIcons(Tree& tree1, Tree& tree2, int firmware, bool guardEnabled);

// Default names of the sources and events of Tree1 and of the channels and
// states of Tree2, as the builders write them.
std::string DefaultSourceName(std::size_t s);
std::string DefaultEventName(std::size_t s, std::size_t e);
std::string DefaultChannelName(std::size_t c, int firmware);
std::string DefaultStateName(std::size_t e);

}  // namespace vemtaro
