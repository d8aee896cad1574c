// What the desktop program sets up before its first window: its name, version
// and icon, and Qt's own texts in Russian.
#pragma once

class QObject;

namespace vemtaro::app {

// The application's name ("Vemtaro"), version and window icon. No display
// name is set: the window system would append it to every window's title,
// and the titles are exactly the program's captions.
void SetUpApplication();

// Loads and installs Qt's Russian texts (the buttons, labels and questions of
// its file dialogs, message boxes and input dialogs) from Qt's translations
// folder; they stay installed while owner lives. Returns whether Qt's base
// texts were found.
bool LoadQtTranslations(QObject* owner);

}  // namespace vemtaro::app
