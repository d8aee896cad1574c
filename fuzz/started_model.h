// One started main window for all the inputs of a fuzz target. Starting a main
// window builds both default trees and resets the configuration twice, which
// costs more than most inputs; so the window is started once, and each input
// begins from the started configuration again:
//  - when the window still has the started version and trees, and at most its
//    image has changed, the started image is shown again (ApplyIncomingImage
//    sets every page value and the working image from it);
//  - otherwise the started configuration is opened as a settings file, which
//    replaces version, images, trees and page values alike.
// So no input sees what the one before it left.
#pragma once

#include <string>

#include "files/settings_file.h"
#include "files/tree_text.h"
#include "model/dialogs.h"
#include "window/main_model.h"

namespace vemtaro::fuzzing {

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class StartedModel {
 public:
  // With smallTrees, the started configuration has trees of one node each
  // (small files open quickly); otherwise the default trees of the start.
  StartedModel(UserDialogs& dialogs, bool smallTrees) : model(dialogs), smallTrees_(smallTrees) {
    model.Startup();
    if (smallTrees_) {
      tree1_ = "\xC2\xF5\xEE\xE4 1\r\n";  // "Вход 1", "Датчик 1" in Windows-1251
      tree2_ = "\xC4\xE0\xF2\xF7\xE8\xEA 1\r\n";
    } else {
      tree1_ = WriteTreeText(model.Tree1);
      tree2_ = WriteTreeText(model.Tree2);
    }
    image_ = model.ws.working.bytes();
    file_ = WriteSettingsFile(model.ws.FirmwareVersion, tree1_, tree2_, image_).value_or(std::string());
    Check(model.OpenSettingsBytes(file_));
    version_ = model.ws.FirmwareVersion;
    size1_ = model.Tree1.size();
    size2_ = model.Tree2.size();
  }

  // The started configuration, for the next input.
  MainModel& Fresh() {
    if (HoldsStartedTrees()) {
      if (model.ws.working.bytes() != image_) {
        model.ws.incoming = ConfigImage(image_);
        model.pages.ApplyIncomingImage(false);
      }
    } else {
      Check(model.OpenSettingsBytes(file_));
    }
    model.N13.enabled = false;
    model.status.clear();
    return model;
  }

  const Bytes& image() const { return image_; }

  MainModel model;

 private:
  // The started version and trees. Small trees are compared by their text;
  // the default trees by their sizes, for what changes their texts without
  // changing their shape (renaming) is not done by the inputs that keep them.
  bool HoldsStartedTrees() const {
    if (model.ws.FirmwareVersion != version_ || model.Tree1.size() != size1_ || model.Tree2.size() != size2_) {
      return false;
    }
    return !smallTrees_ || (WriteTreeText(model.Tree1) == tree1_ && WriteTreeText(model.Tree2) == tree2_);
  }

  bool smallTrees_;
  std::string tree1_;
  std::string tree2_;
  Bytes image_;
  std::string file_;
  int version_ = 0;
  std::size_t size1_ = 0;
  std::size_t size2_ = 0;
};

// Gives the started configuration back at the end of an input as well: an
// input that leaves more allocations than it found is taken by libFuzzer for
// a leak and run once more to look for it, which costs as much as the input.
struct FreshAfterwards {
  StartedModel& started;
  ~FreshAfterwards() { started.Fresh(); }
};

}  // namespace vemtaro::fuzzing
