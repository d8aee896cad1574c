// State that the main window keeps with the configuration image.
#pragma once

#include <array>
#include <string>

#include "model/image.h"

namespace vemtaro {

// The nine subscriber numbers as shown by the trees (entry k-1 for number k).
using AbonentList = std::array<std::string, 9>;

struct Workspace {
  ConfigImage working{5484};   // the image the pages edit, saved and sent
  ConfigImage incoming{5484};  // the last image read from a file or the controller
  int FirmwareVersion = 15;
  bool ChecksumEnabled = true;
  bool KeepImage = false;
  AbonentList abonents;        // AbonentList
};

}  // namespace vemtaro
