// State of the page controls: what a window shows and what the handlers read.
// A shell sets a control's state the way a user would and calls its handler;
// afterwards it shows the state again.
#pragma once

#include <string>
#include <vector>

namespace vemtaro {

struct Edit {
  std::string name;  // the control's name: ObjectID, AbonentNo1, ID16, ...
  std::string text;  // UTF-8
  int maxLength = 0;
  bool enabled = true;
  bool visible = true;
};

inline constexpr int kSpinMin = 0;
inline constexpr int kSpinMax = 255;

struct Spin {
  std::string name;  // Input1, Rele7, Vihod, NumOfAttempts, ...
  int value = 0;
  int step = 1;
  bool enabled = true;
};

struct CheckGroup {
  std::string name;  // StatusSMS, StatusMessages, Zones, AZones
  std::string caption;
  std::vector<std::string> items;
  std::vector<bool> checked;
  std::vector<bool> itemEnabled;
  bool enabled = true;
};

struct RadioGroup {
  std::string name;  // Ohr
  std::string caption;
  std::vector<std::string> items;
  int index = 0;
  bool enabled = true;
};

struct CheckBox {
  std::string name;  // OhrSMS
  std::string caption;
  bool checked = false;
  bool enabled = true;
};

struct Label {
  std::string name;     // Label1, RzGroupBox2, Label19, ...
  std::string caption;  // "\n" is a line break
  bool visible = true;
};

}  // namespace vemtaro
