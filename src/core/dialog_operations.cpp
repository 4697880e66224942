// The property dialogs on this context, through the dialog host of the process.
#include "core/camera_context.h"
#include "core/dialog_port_adapter.h"
#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/image_dialog.h"
#include "platform/dialog_host.h"

namespace orvex {

int CameraContext::RunCameraDialog(platform::WindowHandle owner) {
  DialogPortAdapter port(*this);
  return dialogs::RunCameraDialog(port, platform::Dialogs(), owner);
}

int CameraContext::RunAnalogDialog(platform::WindowHandle owner) {
  DialogPortAdapter port(*this);
  return dialogs::RunAnalogDialog(port, platform::Dialogs(), owner);
}

int CameraContext::RunImageDialog(platform::WindowHandle owner) {
  DialogPortAdapter port(*this);
  return dialogs::RunImageDialog(port, platform::Dialogs(), owner);
}

}  // namespace orvex
