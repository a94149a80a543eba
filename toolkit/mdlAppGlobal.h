// What each program holds exactly once: its file list builder and its progress dialog.
#pragma once

#include <memory>

#include "clsCancel.h"
#include "clsFilter.h"

namespace mdlAppGlobal {

clsFilter& Filter();
// The progress dialog; a console view until the program gives it its own.
clsCancel& Cancel();
void SetCancelView(std::unique_ptr<CancelView> view);

}  // namespace mdlAppGlobal
