// The hand's ways to the widgets that the desktop tests share: where a spin
// box's plus button is, and a settings file of another version to open.
#pragma once

#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <string>

#include "scripted_dialogs.h"
#include "window/main_model.h"

namespace vemtaro::app {

// The centre of a spin box's plus button.
inline QPoint PlusButtonCentre(QSpinBox* spin) {
  QStyleOptionSpinBox option;
  option.initFrom(spin);
  option.rect = spin->rect();
  option.subControls =
      QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField;
  option.buttonSymbols = spin->buttonSymbols();
  option.frame = spin->hasFrame();
  option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
  return spin->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, spin).center();
}

// A version 12 settings file with a name of input 1 of its own ("Калитка").
inline std::string OtherFile() {
  testing::ScriptedDialogs dialogs;
  MainModel m(dialogs);
  m.Startup();
  m.v112Click();
  m.Tree1.top(0)->text = "Калитка";
  return *m.SettingsFileBytes();
}

}  // namespace vemtaro::app
