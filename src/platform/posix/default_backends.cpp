#include "platform/default_backends.h"

#include "platform/headless/headless_window_system.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/reg_file_store.h"
#include "platform/posix/virtual_camera_driver_port.h"
#include "platform/x11/x11_window_system.h"

namespace orvex::platform {
namespace {

// The window system is chosen once per process, at first use: the X11 backend when a display
// is reachable, else the headless one, which draws into windows of the OrvexPlatform library.
WindowSystem& ChooseWindowSystem() {
  if (WindowSystem* x11 = x11::ReachableX11WindowSystem()) return *x11;
  static HeadlessWindowSystem headless;
  return headless;
}

}  // namespace

DriverPort& DefaultDriverPort() {
  static VirtualCameraDriverPort port;
  return port;
}

SystemClock& DefaultClock() {
  static PosixClock clock;
  return clock;
}

WindowSystem& DefaultWindowSystem() {
  static WindowSystem& chosen = ChooseWindowSystem();
  return chosen;
}

RegistryStore& DefaultRegistryStore() {
  static RegFileStore store;
  return store;
}

}  // namespace orvex::platform
