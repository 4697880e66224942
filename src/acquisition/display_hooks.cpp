// The display steps of an acquisition, until the preview window draws frames: nothing to size
// and nothing to draw.
#include "core/camera_context.h"

namespace orvex {

void CameraContext::PrepareDisplayImage() {}

void CameraContext::DrawFrame() {}

}  // namespace orvex
