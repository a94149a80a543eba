#include "toolkit/mdlAppGlobal.h"

namespace mdlAppGlobal {
namespace {
std::unique_ptr<clsCancel>& CancelSlot() {
  static std::unique_ptr<clsCancel> cancel;
  return cancel;
}
}  // namespace

clsFilter& Filter() {
  static clsFilter filter;
  return filter;
}

clsCancel& Cancel() {
  if (!CancelSlot()) CancelSlot() = std::make_unique<clsCancel>(std::make_unique<SilentCancelView>());
  return *CancelSlot();
}

void SetCancelView(std::unique_ptr<CancelView> view) {
  if (!view) view = std::make_unique<SilentCancelView>();
  CancelSlot() = std::make_unique<clsCancel>(std::move(view));
}

}  // namespace mdlAppGlobal
