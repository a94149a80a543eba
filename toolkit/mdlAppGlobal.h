// What each program holds exactly once: its file list builder and its progress dialog.
#pragma once

#include <memory>

#include "toolkit/clsCancel.h"
#include "toolkit/clsFilter.h"

namespace mdlAppGlobal {

clsFilter& Filter();
// The progress dialog; one that shows nothing until the front end gives it its view.
clsCancel& Cancel();
void SetCancelView(std::unique_ptr<CancelView> view);  // nullptr: the silent view again

}  // namespace mdlAppGlobal
