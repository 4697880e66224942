#include "base/camera_settings.h"

namespace orvex {

int CheckGeometry(const CaptureGeometry& geometry, const CaptureFormat& format) {
  const std::int32_t eh = geometry.EH, ev = geometry.EV, ehs = geometry.EHS, evs = geometry.EVS;
  const std::int32_t subSample = format.SubSample;
  if (eh < 0 || ev < 0 || ehs < 0 || evs < 0) return 0;
  if (eh > 1320 || ev > 1024 || ehs > 1320 || evs > 1024) return 0;
  if (eh + ehs > 1320 || ev + evs > 1024) return 0;
  if (subSample < 0 || subSample > 2) return 0;
  return 1;
}

void ApplyDefaultGeometry(CaptureGeometry& geometry) {
  geometry.TH = 1320;
  geometry.TV = 1024;
  geometry.EH = 1280;
  geometry.EV = 1024;
  geometry.EHS = 39;
  geometry.EVS = 0;
  geometry.Buf = 20;
}

}  // namespace orvex
