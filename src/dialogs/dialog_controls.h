// The control ids of the library's dialogs and the slider groups of their pages: what the
// templates lay out and the procedures address.
#pragma once

#include <array>
#include <cstdint>

namespace orvex::dialogs {

// --- every dialog ---
inline constexpr std::int32_t kButtonOk = 1;
inline constexpr std::int32_t kButtonCancel = 2;
inline constexpr std::int32_t kButtonDefault = 3;  // analog and image dialogs
inline constexpr std::int32_t kTabControl = 1001;

// --- camera dialog ---
inline constexpr std::int32_t kButtonApply = 1002;
inline constexpr std::int32_t kListColor = 1009;
inline constexpr std::int32_t kListSize = 1010;
inline constexpr std::int32_t kListSubSample = 1012;
inline constexpr std::int32_t kListClock = 1014;
// The six geometry edits, in the order of a size entry (TH, TV, EH, EV, EHS, EVS).
inline constexpr std::array<std::int32_t, 6> kGeometryEdits = {1039, 1040, 1041, 1042, 1043, 1044};
inline constexpr std::int32_t kEditWaitTime = 1045;

// --- analog page ---
inline constexpr std::int32_t kCheckMirrorV = 1029;
inline constexpr std::int32_t kCheckAutoGain = 1036;
inline constexpr std::int32_t kCheckAutoExposure = 1037;
inline constexpr std::int32_t kEditGlobalGain = 1015;
inline constexpr std::int32_t kEditExposure = 1027;

// --- image filter and gray filter pages ---
inline constexpr std::int32_t kButtonOnce = 2074;
inline constexpr std::int32_t kCheckAllFrames = 1035;
inline constexpr std::array<std::int32_t, 4> kRadiosBayerMode = {1030, 1031, 1032, 1033};
inline constexpr std::array<std::int32_t, 3> kRadiosGrayMode = {1045, 1046, 1047};

// A trackbar with its buddy edit and up-down, and the range the trackbar spans.
struct SliderRow {
  const char* label;
  std::int32_t trackbar;
  std::int32_t edit;
  std::int32_t upDown;
  std::int32_t minimum;
  std::int32_t maximum;
  std::int32_t tickFrequency;
};

// Analog page, in the order of the analog record: Global, ColorG1, ColorR, ColorB, ColorG2,
// Exposure. The tick mark falls every eighth of the range.
inline constexpr std::array<SliderRow, 6> kAnalogRows = {{
    {"&Global Gain", 1014, 1015, 1038, 0, 63, 63 / 8},
    {"&Color Gain G1", 1018, 1019, 1039, 0, 0, 0},
    {"&Color Gain R", 1020, 1021, 1040, 0, 0, 0},
    {"&Color Gain B", 1022, 1023, 1041, 0, 0, 0},
    {"&Color Gain G2", 1024, 1025, 1042, 0, 0, 0},
    {"&Exposure", 1026, 1027, 1043, 0, 255, 255 / 8},
}};

// Image Filter page, in the order of the Filter settings: Brightness, Contrast, Hue, Saturation,
// Sharpness, R_Gain, G_Gain, B_Gain, Gamma.
inline constexpr std::array<SliderRow, 9> kImageFilterRows = {{
    {"&Brightness", 2001, 2002, 2004, -255, 255, 64},
    {"&Contrast", 2011, 2012, 2014, -127, 127, 32},
    {"&Hue", 2021, 2022, 2024, -360, 360, 90},
    {"&Saturation", 2031, 2032, 2034, -255, 255, 64},
    {"Shar&pness", 2041, 2042, 2044, 0, 30, 4},
    {"&R Gain", 2051, 2052, 2054, 0, 400, 32},
    {"&G Gain", 2061, 2062, 2063, 0, 400, 32},
    {"&B Gain", 2071, 2072, 2073, 0, 400, 32},
    {"&Gamma", 2081, 2082, 2084, 0, 200, 32},
}};

// Gray Filter page, in the order of the Gray settings: the four gains (GainR1, GainG1, GainG2,
// GainB1), then the four offsets (OffsetR1, OffsetG1, OffsetG2, OffsetB1).
inline constexpr std::array<SliderRow, 8> kGrayFilterRows = {{
    {"Red", 2100, 2101, 2102, 0, 400, 32},
    {"Green1", 2103, 2104, 2105, 0, 400, 32},
    {"Green2", 2106, 2107, 2108, 0, 400, 32},
    {"Blue", 2109, 2110, 2111, 0, 400, 32},
    {"Red", 2112, 2113, 2114, -255, 255, 32},
    {"Green1", 2115, 2116, 2117, -255, 255, 32},
    {"Green2", 2118, 2119, 2120, -255, 255, 32},
    {"Blue", 2121, 2122, 2123, -255, 255, 32},
}};

}  // namespace orvex::dialogs
