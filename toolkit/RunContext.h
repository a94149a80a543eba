// The services a run uses, built by the front end that starts it (a window, a command line, a test)
// and handed to it: a run lists folders, shows its progress and talks to the user through these and
// nothing else.
#pragma once

#include <string>

#include "toolkit/clsCancel.h"
#include "toolkit/clsFilter.h"
#include "toolkit/mdlMessages.h"

struct RunContext {
  clsFilter& Files;        // lists a folder's files; each run sets its include and exclude lists
  clsCancel& Progress;     // the progress dialog and its stop button
  MessageSink& Messages;   // messages and Yes/No questions
  // The folder a relative folder text is taken from (a window's last listed folder).
  std::u16string RelativeBase;
};
