// The whole of a window program's main: the application, the message boxes, the progress dialog,
// the start information from the command line, and the main window until it closes.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "toolkit/gui/MainWindowBase.h"

namespace gui {

// Qt's own texts (the buttons of the message boxes, the context menus of the text boxes) in
// Japanese, as the windows' own texts are: Qt's Japanese translation from the "translations" folder
// beside the program (where the Windows release keeps it), else from Qt's own translations folder.
// False when none is found: those texts then stay in English.
bool LoadQtTranslations(const QString& program_folder);

using WindowMaker = std::function<std::unique_ptr<QWidget>(const StartInfo& start)>;
int RunProgram(int argc, char** argv, const WindowMaker& make_window);

template <class Window>
int RunProgram(int argc, char** argv) {
  return RunProgram(argc, argv, [](const StartInfo& start) { return std::make_unique<Window>(start); });
}

}  // namespace gui
