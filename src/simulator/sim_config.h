// The command line of vemtaro-sim: which controller to simulate, with which
// image and which faults, and where to keep the image at exit. Files are read
// and written through a FileStore: the program's store takes the same rules
// as vemtaro-cli's (regular files of at most a settings file's size, a save
// that replaces the file only when the new one is whole).
#pragma once

#include <QStringList>

#include <optional>
#include <string>

#include "model/dialogs.h"
#include "model/image.h"
#include "sim/controller_sim.h"

namespace vemtaro::simulator {

struct SimConfig {
  sim::ControllerOptions controller;
  sim::Faults faults;
  // Tree texts that go with the image in a settings file written at exit.
  std::string tree1;
  std::string tree2;
  // Where to write the held image as a settings file at exit.
  std::optional<std::string> savePath;
};

struct ConfigResult {
  std::optional<SimConfig> config;
  std::string error;  // when config is empty
  bool helpShown = false;
};

// Reads the arguments (argv[0] first), with the bytes that are not UTF-8 kept
// as shell::FileNameText keeps them. The image is the one of the settings file
// given with --image, read from files, else the default image of the firmware
// version.
ConfigResult ParseSimArguments(const QStringList& arguments, FileStore& files);

// The default image of a firmware version 10..15 with the tree texts that go
// with it, as a freshly started configuration tool holds them.
struct DefaultConfiguration {
  Bytes image;
  std::string tree1;
  std::string tree2;
};
std::optional<DefaultConfiguration> DefaultConfigurationOf(int version);

// Writes a settings file holding the image to the --save path through files;
// false with the reason on failure.
bool SaveImageFile(const SimConfig& config, const Bytes& image, FileStore& files, std::string* error);

}  // namespace vemtaro::simulator
