// A configuration as an installer leaves it, for the benchmarks that compare
// or open a realistic file: the object, numbers, delays, relays, sensors, the
// reactions of the eight inputs and the thresholds.
#pragma once

#include <string>
#include <vector>

#include "editor/settings_edit.h"
#include "model/dialogs.h"
#include "window/main_model.h"

namespace vemtaro::bench {

// The settings file of that configuration (version 15); empty when a setting
// was refused.
inline std::string InstalledSettingsFile() {
  SilentDialogs silent;
  EditDialogs dialogs(silent);
  MainModel model(dialogs);
  model.Startup();
  std::vector<SettingAssignment> settings = {{"ObjectID", "Склад 7"},
                                             {"PasswordEdit", "4821"},
                                             {"AbonentNo1", "+79161234567"},
                                             {"AbonentNo2", "+79167654321"},
                                             {"NumOfAttempts", "3"},
                                             {"Zones", "[1 1 1 1 0 0 0 0]"},
                                             {"OhrSMS", "yes"}};
  for (int k = 1; k <= 8; ++k) {
    const std::string n = std::to_string(k);
    settings.push_back({"Input" + n, std::to_string(10 * k)});
    settings.push_back({"ID" + n, "000000000000000" + n});
    for (const char* event : {"Замыкание", "Размыкание"}) {
      const std::string reaction = "Вход " + n + "/" + event + "/";
      settings.push_back({reaction + "relays", "ZNNNNNNNNNNNNNNN"});
      settings.push_back({reaction + "phones", "12NNNNNNN"});
      settings.push_back({reaction + "sms", "Объект 7: вход " + n + " " + event});
    }
    settings.push_back({"Датчик " + n + "/Выше MAX порога/max", "35"});
    settings.push_back({"Датчик " + n + "/Ниже MIN уровня/min", "5"});
  }
  for (int k = 1; k <= 16; ++k) settings.push_back({"Rele" + std::to_string(k), std::to_string(k + 4)});
  if (!SetSettings(model, dialogs, settings).ok) return {};
  return model.SettingsFileBytes().value_or(std::string());
}

}  // namespace vemtaro::bench
