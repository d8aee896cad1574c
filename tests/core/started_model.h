// A started main window for tests of the pages and the whole-image passes; the
// version is switched as the version menu does.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro::testing {

class StartedModel : public ::testing::Test {
 protected:
  StartedModel() : m(dialogs) {
    m.Startup();
    dialogs.Clear();
  }
  void Version(int v, bool keepImage = false) {
    m.ws.KeepImage = keepImage;
    m.ApplyProfile(v);
    m.ws.KeepImage = false;
    dialogs.Clear();
  }
  std::string At(std::size_t offset, std::size_t length) const { return m.ws.working.Raw(offset, length); }

  ScriptedDialogs dialogs;
  MainModel m;
};

}  // namespace vemtaro::testing
