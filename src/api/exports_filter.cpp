// The filter values by id, and the 54 exports that name one id each.
#include "api/export_support.h"

using namespace orvex;

extern "C" {

std::int32_t ORVEX_CALL Orvex_SetFilterValue(CameraHandle handle, std::int32_t id,
                                             std::int32_t value) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.SetFilterValue(id, value); });
}

std::int32_t ORVEX_CALL Orvex_GetFilterValue(CameraHandle handle, std::int32_t id,
                                             std::int32_t* ok) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.GetFilterValue(id, ok); });
}

// Each named pair goes through the exported pair, so that it takes the same handle lookup.
#define ORVEX_DEFINE_FILTER_PAIR(name, id)                                           \
  std::int32_t ORVEX_CALL Orvex_Set##name(CameraHandle handle, std::int32_t value) { \
    return Orvex_SetFilterValue(handle, id, value);                                  \
  }                                                                                  \
  std::int32_t ORVEX_CALL Orvex_Get##name(CameraHandle handle, std::int32_t* ok) {   \
    return Orvex_GetFilterValue(handle, id, ok);                                     \
  }

ORVEX_DEFINE_FILTER_PAIR(Brightness, 1)
ORVEX_DEFINE_FILTER_PAIR(Contrast, 2)
ORVEX_DEFINE_FILTER_PAIR(Hue, 3)
ORVEX_DEFINE_FILTER_PAIR(Saturation, 4)
ORVEX_DEFINE_FILTER_PAIR(Sharpness, 5)
ORVEX_DEFINE_FILTER_PAIR(BayerGainRGB, 6)
ORVEX_DEFINE_FILTER_PAIR(BayerGainRed, 7)
ORVEX_DEFINE_FILTER_PAIR(BayerGainGreen, 8)
ORVEX_DEFINE_FILTER_PAIR(BayerGainBlue, 9)
ORVEX_DEFINE_FILTER_PAIR(BayerGainAuto, 10)
ORVEX_DEFINE_FILTER_PAIR(Gamma, 11)
ORVEX_DEFINE_FILTER_PAIR(BayerMode, 12)
ORVEX_DEFINE_FILTER_PAIR(GlobalGain, 13)
ORVEX_DEFINE_FILTER_PAIR(ColorGainRed, 14)
ORVEX_DEFINE_FILTER_PAIR(ColorGainGreen1, 15)
ORVEX_DEFINE_FILTER_PAIR(ColorGainGreen2, 16)
ORVEX_DEFINE_FILTER_PAIR(ColorGainBlue, 17)
ORVEX_DEFINE_FILTER_PAIR(ExposureTime, 18)
ORVEX_DEFINE_FILTER_PAIR(GrayMode, 19)
ORVEX_DEFINE_FILTER_PAIR(GrayGainR, 20)
ORVEX_DEFINE_FILTER_PAIR(GrayGainG1, 21)
ORVEX_DEFINE_FILTER_PAIR(GrayGainG2, 22)
ORVEX_DEFINE_FILTER_PAIR(GrayGainB, 23)
ORVEX_DEFINE_FILTER_PAIR(GrayOffsetR, 24)
ORVEX_DEFINE_FILTER_PAIR(GrayOffsetG1, 25)
ORVEX_DEFINE_FILTER_PAIR(GrayOffsetG2, 26)
ORVEX_DEFINE_FILTER_PAIR(GrayOffsetB, 27)

#undef ORVEX_DEFINE_FILTER_PAIR

}  // extern "C"
