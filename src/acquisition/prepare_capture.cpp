// Preparing an acquisition: images for the current format, the link's frame geometry, the
// sample width and the exposure; and Capture, which prepares once for following snapshots.
#include <new>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "imaging/image_buffer.h"

namespace orvex {
namespace {

constexpr std::uint8_t kExposureRegister = 82;

// The link's own result for a raw frame buffer it could not allocate.
constexpr int kLinkOutOfMemory = 7;

bool CreateImages(CameraContext& c, std::int32_t color, std::int32_t w, std::int32_t h) {
  if (color < 0 || color > 5) return false;
  if (!c.RawImage8 || !c.RawImage16 || !c.ColorImage24 || !c.ColorImage32 || !c.ColorImage48 ||
      !c.ColorImage64 || !c.ScratchImage) {
    return false;
  }
  if (color <= 3) {
    if (!c.RawImage8->Create(w, h, 8)) return false;
    c.RawImage8->SetColorTable(0, nullptr, 0, 256);
  }
  if (CameraContext::IsWordSampleType(color) && !c.RawImage16->Create(w, h, 16)) return false;
  if (color != 1 && !c.ColorImage24->Create(w, h, 24)) return false;
  if (color == 3 && !c.ColorImage32->Create(w, h, 32)) return false;
  if (color == 4 && !c.ColorImage48->Create(w, h, 48)) return false;
  if (color == 5 && !c.ColorImage64->Create(w, h, 64)) return false;
  return c.ScratchImage->CreateLike(c.OutputImageFor(color)) != 0;
}

}  // namespace

int CameraContext::PrepareCapture() {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (!link->IsDevicePresent(link->SelectedDevice())) {
    RecordError(kErrorDeviceNotFound);
    return 0;
  }
  if (!CheckGeometry()) {
    RecordError(kErrorGeometry);
    return 0;
  }

  const std::int32_t color = format.Color;
  const std::int32_t subSample = format.SubSample;
  const std::int32_t eh = geometry.EH, ev = geometry.EV;
  const std::int32_t reduction = subSample == 1 ? 2 : subSample == 2 ? 4 : 1;
  if (!CreateImages(*this, color, eh / reduction, ev / reduction)) {
    RecordError(kErrorBuffer);
    return 0;
  }

  // The link always copies the whole window; a reduced output needs room for it beside the
  // raw image, which then receives every second or fourth Bayer block.
  const std::size_t sampleBytes = IsWordSampleType(color) ? 2 : 1;
  try {
    if (reduction > 1) {
      fullWindow_.assign(static_cast<std::size_t>(eh) * static_cast<std::size_t>(ev) * sampleBytes,
                         0);
    } else {
      std::vector<std::uint8_t>().swap(fullWindow_);
    }
  } catch (const std::bad_alloc&) {
    std::vector<std::uint8_t>().swap(fullWindow_);
    RecordError(kErrorBuffer);
    return 0;
  }

  // A window that the checks above accept can still be one the link refuses (total line or
  // frame too short, too few buffers); the link then keeps its old window, which need not
  // fit the images just made, so the capture is refused.
  const int configured = link->ConfigureFrame(geometry.TH, geometry.EHS, eh, geometry.TV,
                                              geometry.EVS, ev, geometry.Buf);
  if (configured != 0) {
    RecordError(configured == kLinkOutOfMemory ? kErrorBuffer : kErrorGeometry);
    return 0;
  }
  reduction_ = reduction;

  link->SetSampleWidth(IsWordSampleType(color) ? 1 : 0);
  link->WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(analog.Exposure & 0xFFFF));

  PrepareDisplayImage();
  return 1;
}

int CameraContext::Capture() {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  switch (state) {
    case Previewing:
      return 0;
    case Capturing:
      return 1;
    default:
      break;
  }
  if (!PrepareCapture()) return 0;
  state = Capturing;
  return 1;
}

}  // namespace orvex
