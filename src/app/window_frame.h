// Where the windows beside the main window stand and what their frames carry.
#pragma once

#include <QWidget>

namespace vemtaro::app {

// Moves a window so that its frame is centred on the owner's frame.
void CentreOn(QWidget* window, const QWidget* owner);

// The frame and title bar of a dialog with the close box only.
inline constexpr Qt::WindowFlags kCloseBoxOnly = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                                 Qt::MSWindowsFixedSizeDialogHint;

}  // namespace vemtaro::app
