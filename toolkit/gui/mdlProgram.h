// The whole of a window program's main: the application, the message boxes, the progress dialog,
// the start information from the command line, and the main window until it closes.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "toolkit/gui/frmBase.h"

namespace mdlGui {

using WindowMaker = std::function<std::unique_ptr<QWidget>(const StartInfo& start)>;
int RunProgram(int argc, char** argv, const WindowMaker& make_window);

template <class Window>
int RunProgram(int argc, char** argv) {
  return RunProgram(argc, argv, [](const StartInfo& start) { return std::make_unique<Window>(start); });
}

}  // namespace mdlGui
