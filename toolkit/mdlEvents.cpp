#include "toolkit/mdlEvents.h"

namespace mdlEvents {
namespace {
std::function<void()>& Pump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void DoEvents() {
  if (Pump()) Pump()();
}

void SetDoEvents(std::function<void()> pump) { Pump() = std::move(pump); }

}  // namespace mdlEvents
