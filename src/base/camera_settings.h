#pragma once

#include <cstdint>

#include "base/relaxed_atomic.h"

namespace orvex {

// Every setting is a 32-bit signed value that the preview thread reads while the application
// or a dialog writes it; each is read and written whole.
using Setting = RelaxedAtomic<std::int32_t>;

// The capture geometry, in sensor samples and lines; also one entry of the stored size table.
struct CaptureGeometry {
  Setting TH{1320};  // total line length
  Setting TV{1024};  // total frame lines
  Setting EH{1280};  // effective (output) width
  Setting EV{1024};  // effective (output) height
  Setting EHS{39};   // horizontal start of the effective window
  Setting EVS{0};    // vertical start of the effective window
  Setting Buf{20};   // number of transfer buffers
};

// One plain entry of the stored size table, in the order of the geometry fields.
struct SizeEntry {
  std::int32_t TH = 0;
  std::int32_t TV = 0;
  std::int32_t EH = 0;
  std::int32_t EV = 0;
  std::int32_t EHS = 0;
  std::int32_t EVS = 0;
  std::int32_t Buf = 10;
};

// The capture format of the main settings key.
struct CaptureFormat {
  Setting Color{0};      // ColorType 0..5
  Setting SubSample{0};  // 0, 1 or 2: output divided by 1, 2 or 4
  Setting WaitTime{10};  // milliseconds the preview loop sleeps before each poll
  Setting Clock{0};      // stored and persisted only
};

// The image settings: the Filter group, then the Gray group after GrayMode, then the
// white and gray balance controls.
struct ImageSettings {
  Setting Brightness;
  Setting Contrast;
  Setting Hue;
  Setting Saturation;
  Setting Sharpness;
  Setting R_Gain;
  Setting G_Gain;
  Setting B_Gain;
  Setting Gamma;
  Setting BayerMode;
  Setting GrayMode;
  Setting GainR1;
  Setting GainG1;
  Setting GainG2;
  Setting GainB1;
  Setting OffsetR1;
  Setting OffsetG1;
  Setting OffsetG2;
  Setting OffsetB1;
  Setting BayerGainAuto;
  Setting BayerGainOnce1;
  Setting BayerGainOnce2;
  Setting GrayBalanceCount;
};

// The analog record, kept per device index in the settings store.
struct AnalogSettings {
  Setting Global;
  Setting ColorG1;
  Setting ColorR;
  Setting ColorB;
  Setting ColorG2;
  Setting Exposure;  // the value of FPGA register 82
  Setting V_Mirror;
  Setting AutoIris;  // 0 off, 1 automatic exposure, 2 automatic gain
};

// Every setting of one camera, grouped as the settings store keeps them.
struct CameraSettings {
  CaptureGeometry geometry;
  ImageSettings image;
  AnalogSettings analog;
  CaptureFormat format;
};

// 1 when the window lies on the sensor and SubSample is 0, 1 or 2, else 0. TH, TV and Buf
// are the device link's to check.
int CheckGeometry(const CaptureGeometry& geometry, const CaptureFormat& format);
// The whole sensor: TH 1320, TV 1024, EH 1280, EV 1024, EHS 39, EVS 0, Buf 20.
void ApplyDefaultGeometry(CaptureGeometry& geometry);

}  // namespace orvex
