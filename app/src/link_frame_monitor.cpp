// The links' hold on the drivers' frame monitor (links.h).
#include <type_traits>

#include "app/links.h"

namespace tavrin::app {

bool DriverLink::setFrameMonitor(platform::FrameCallback callback, void* context) {
  frameCallback_ = callback;
  frameContext_ = context;
  if (setFrameMonitor_ == nullptr) return false;
  setFrameMonitor_(callback, context);
  return true;
}

void DriverLink::bindFrameMonitor() {
  setFrameMonitor_ = lookup<std::remove_pointer_t<SetFrameMonitorFn>>("SetFrameMonitor");
  if (setFrameMonitor_ != nullptr && frameCallback_ != nullptr) setFrameMonitor_(frameCallback_, frameContext_);
}

void DriverLink::unbindFrameMonitor() {
  // A library that stays loaded (another handle holds it) must not call a
  // monitor that may be gone.
  if (setFrameMonitor_ != nullptr) setFrameMonitor_(nullptr, nullptr);
  setFrameMonitor_ = nullptr;
}

}  // namespace tavrin::app
