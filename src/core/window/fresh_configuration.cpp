#include "window/fresh_configuration.h"

#include "model/profiles.h"

namespace vemtaro {

std::optional<std::string> FreshSettingsFile(int version, std::string* error) {
  if (FindProfile(version) == nullptr) {
    if (error != nullptr) *error = "no firmware version " + std::to_string(version);
    return std::nullopt;
  }
  // The start-up sequence, then the version's item with KeepImage off: the
  // version's defaults in the image and both trees.
  SilentDialogs silent;
  MainModel fresh(silent);
  fresh.Startup();
  fresh.ApplyProfile(version);
  return fresh.SettingsFileBytes(error);
}

bool UseFreshConfiguration(MainModel& model, int version) {
  const auto bytes = FreshSettingsFile(version);
  // Opening the file of the new configuration sets every page, both trees
  // and both images as a fresh start does, by the same passes as any file.
  if (!bytes || !model.OpenSettingsBytes(*bytes)) return false;
  // Nothing was read: the incoming image holds no file's or controller's
  // image, as after the start.
  model.ws.incoming = ConfigImage(model.ws.working.size());
  model.filePlaces.NoFile();
  model.status = fresh_texts::kNewConfiguration + std::to_string(version);
  model.MarkUnmodified();
  return true;
}

bool NewConfigurationClick(MainModel& model) {
  const int current = FindProfile(model.ws.FirmwareVersion) != nullptr ? model.ws.FirmwareVersion : kMaxFirmware;
  const std::optional<int> version = model.dialogs().ChooseFirmwareVersion(current);
  if (!version) return false;
  return UseFreshConfiguration(model, *version);
}

}  // namespace vemtaro
