#pragma once

// What passes between OrvexVirtualCamera.dll and the virtual camera driver on its control
// device. The cameras themselves are reached as the camera library reaches them, through
// \\.\OrvexNec06A-N and the two request codes of the camera's driver; this device carries
// the control API of include/orvex/virtual_camera.h.

#include <stdint.h>

namespace orvex::vcam::control {

// Kernel names, and the path by which a program opens the control device.
#define ORVEX_VCAM_CONTROL_DEVICE L"\\Device\\OrvexVirtualCamera"
#define ORVEX_VCAM_CONTROL_LINK L"\\DosDevices\\OrvexVirtualCamera"
#define ORVEX_VCAM_CONTROL_PATH "\\\\.\\OrvexVirtualCamera"
#define ORVEX_VCAM_CAMERA_DEVICE L"\\Device\\OrvexNec06A-"
#define ORVEX_VCAM_CAMERA_LINK L"\\DosDevices\\OrvexNec06A-"

// The camera's own request codes: data moves through the output buffer in both directions.
inline constexpr uint32_t kCodeDirectIn = 0x222051;   // METHOD_IN_DIRECT
inline constexpr uint32_t kCodeDirectOut = 0x22204E;  // METHOD_OUT_DIRECT

inline constexpr int kSlotCount = 8;
inline constexpr int kPipeCount = 3;

// Control requests: device type FILE_DEVICE_UNKNOWN, any access, functions from 0x900.
constexpr uint32_t ControlCode(uint32_t function, uint32_t method) {
  return (0x22u << 16) | ((0x900u + function) << 2) | method;
}
inline constexpr uint32_t kMethodBuffered = 0;
inline constexpr uint32_t kMethodInDirect = 1;

// Requests that take a Request and answer with a Reply (METHOD_BUFFERED). Each names the
// function of the C API it serves; the arguments are those after the camera index.
enum Operation : uint32_t {
  kAttach = 1,
  kDetach,
  kIsAttached,
  kReset,  // index: the number of cameras to attach
  kGetRegister,
  kSetRegister,
  kGetRomByte,
  kSetRomByte,
  kGetSampleWidth,
  kGetTransferSamples,
  kPacketCount,
  kOpenHandles,
  kWaitingReads,
  kFailRequests,
  kShortFrames,
  kClearRaster,
  kSetScene,
  kSetSceneColor,
  kSetSceneLevel,
  kSetFramePeriod,
  kSetDropRate,
  kFramesSent,
  kFramesDropped,
  kLastPacket,  // answers with a PacketReply
  kOperationEnd,
};

// Requests whose data follows in the output buffer (METHOD_IN_DIRECT), for data too large to
// copy twice: a raster (RasterRequest) and a scene given as its mosaic (Request, index only,
// with 1280 x 1024 16-bit levels). They answer with their status alone.
inline constexpr uint32_t kSetRaster = 0x40;
inline constexpr uint32_t kShowMosaic = 0x41;

struct Request {
  int32_t index;
  int32_t args[3];
};

struct Reply {
  int32_t result;
};

struct PacketReply {
  int32_t result;
  uint8_t packet[64];
};

struct RasterRequest {
  int32_t index;
  int32_t pitch;
  int32_t lines;
  int32_t bytesPerSample;
};

constexpr uint32_t OperationCode(Operation operation) {
  return ControlCode(operation, kMethodBuffered);
}
inline constexpr uint32_t kSetRasterCode = ControlCode(kSetRaster, kMethodInDirect);
inline constexpr uint32_t kShowMosaicCode = ControlCode(kShowMosaic, kMethodInDirect);

}  // namespace orvex::vcam::control
