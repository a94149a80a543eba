// Lets the user interface handle what is pending, from code that holds the only thread (a run).
// The windows install their event loop's pump; elsewhere it does nothing.
#pragma once

#include <functional>

namespace mdlEvents {

void DoEvents();
void SetDoEvents(std::function<void()> pump);

}  // namespace mdlEvents
