// The services a run uses, built by the front end that starts it (a window, a command line, a test)
// and handed to it: a run lists folders, shows its progress and talks to the user through these and
// nothing else.
#pragma once

#include <string>

#include "toolkit/run/Progress.h"
#include "toolkit/files/FileFilter.h"
#include "toolkit/run/Messages.h"

struct RunContext {
  FileFilter& Files;        // lists a folder's files; each run sets its include and exclude lists
  RunProgress& Progress;     // the progress dialog and its stop button
  MessageSink& Messages;   // messages and Yes/No questions
  // The folder a relative folder text is taken from (a window's last listed folder).
  std::u16string RelativeBase;
};
