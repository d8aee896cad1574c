// A new configuration: what the program holds right after its start once
// firmware version N is chosen in "Версия прошивки", the defaults of that
// version in the image and in both trees. vemtaro-cli new writes it as a
// settings file; the desktop's "Новая конфигурация" takes it as the
// configuration in use.
#pragma once

#include <optional>
#include <string>

#include "window/main_model.h"

namespace vemtaro {

namespace fresh_texts {
// RzMarqueeStatus1 once a new configuration is in use; the version follows.
inline constexpr const char* kNewConfiguration = "Новая конфигурация, версия прошивки ";
}  // namespace fresh_texts

// The settings file of a new configuration of a version 10..15; nothing for
// another version, or when the file cannot be made, with its reason.
std::optional<std::string> FreshSettingsFile(int version, std::string* error = nullptr);

// The model takes the new configuration of that version as the one in use:
// its version's profile, both images, the pages and both trees, with no file
// and no unsaved changes. The connection, if any, stays. Returns false, and
// changes nothing, for a version outside 10..15.
bool UseFreshConfiguration(MainModel& model, int version);

// "Новая конфигурация" once the configuration in use may be replaced: asks for
// the version (the current one chosen first) and takes the new configuration
// of the version chosen. A cancel changes nothing. Returns whether it was
// taken.
bool NewConfigurationClick(MainModel& model);

}  // namespace vemtaro
