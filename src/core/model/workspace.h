// State that the main window keeps with the configuration image.
#pragma once

#include <array>
#include <string>

#include "model/image.h"

namespace vemtaro {

// The nine subscriber numbers as shown by the trees (entry k-1 for number k).
using AbonentList = std::array<std::string, 9>;

struct Workspace {
  ConfigImage working{5484};    // the image the pages edit, saved and sent
  ConfigImage incoming{5484};   // the last image read from a file or the controller
  int FirmwareVersion = 15;     // the version in use, 10..15
  bool ChecksumEnabled = true;  // the last image byte is a checksum: checked on a read, set on a write
  // While set, applying a version profile keeps the image, the guard mode and
  // the trees (a file or a controller brought them).
  bool KeepImage = false;
  AbonentList abonents;  // AbonentList: the numbers as the trees show them
};

}  // namespace vemtaro
