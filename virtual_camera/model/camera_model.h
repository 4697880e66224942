#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "model/model_memory.h"
#include "model/scene.h"

namespace orvex::vcam {

// How the sensor sends a frame: lines of kLineLength samples, blanking included, line 0 first;
// the image occupies samples kFirstImageSample .. kFirstImageSample + kSceneWidth - 1.
inline constexpr int kLineLength = 1320;
inline constexpr int kFrameLines = kSceneHeight;
inline constexpr int kFirstImageSample = 39;
inline constexpr std::size_t kFrameSamples = std::size_t{kLineLength} * kFrameLines;

inline constexpr std::size_t kPacketSize = 64;
inline constexpr int kRegisterCount = 256;
inline constexpr int kRomSize = 256;
inline constexpr std::size_t kMaxQueuedReplies = 64;

enum Opcode : std::uint8_t {
  kStreamRequest = 0x02,
  kFrameSize = 0x09,
  kSampleWidth = 0x0A,
  kRomWrite = 0x20,
  kRomRead = 0x21,
  kRegisterWrite = 0x25,
  kRegisterRead = 0x26,
};

inline constexpr int kExposureRegister = 0x52;
// The exposure at which a scene comes out at its design levels; also the power-on value.
inline constexpr int kReferenceExposure = 40;

using Packet = std::array<std::uint8_t, kPacketSize>;

// One camera: its FPGA registers and serial ROM, the command decoder and reply queue, and frame
// synthesis into a caller's buffer. No operating-system calls and no locking: whoever holds the
// model serialises the calls, and pacing is the holder's matter. It builds for user mode and for
// a kernel-mode driver alike: no exceptions of its own and memory only through model_memory.h.
class CameraModel {
 public:
  // index (0..7) makes the identification in the serial ROM differ between cameras.
  explicit CameraModel(int index);

  // Pipe 0: one command packet. False when refused (a length other than kPacketSize).
  bool Command(const std::uint8_t* packet, std::size_t length);
  // Pipe 1: the oldest reply. False when none waits or the length is not kPacketSize.
  bool TakeReply(std::uint8_t* out, std::size_t length);

  // Pipe 2: the first `length` bytes of frame number `frame` (frame numbers drive the moving
  // scene). False when memory for the image was short; nothing is written then.
  bool RenderFrame(std::uint64_t frame, std::uint8_t* out, std::size_t length);

  int BytesPerSample() const { return sixteenBit_ ? 2 : 1; }
  std::uint32_t TransferSamples() const { return transferSamples_; }

  std::uint16_t Register(int address) const { return registers_[Index(address)]; }
  void SetRegister(int address, std::uint16_t value) { registers_[Index(address)] = value; }
  std::uint8_t Rom(int address) const { return rom_[Index(address)]; }
  void SetRom(int address, std::uint8_t value) { rom_[Index(address)] = value; }

  // Packets received with `opcode`, or of all opcodes for -1.
  std::uint64_t PacketCount(int opcode) const;
  // The last packet with `opcode` (or the last of all for -1); false when there was none.
  bool LastPacket(int opcode, Packet* out) const;

  Scene& scene() { return scene_; }
  // Lighting in percent of the scene's design.
  void SetLevel(int percent) { level_ = percent; }
  // From now on frames are exactly these samples (see the public header); false for bad sizes
  // or when memory is short.
  bool SetRaster(const void* samples, std::size_t count, int bytesPerSample);
  void ClearRaster();

 private:
  static std::size_t Index(int address) { return static_cast<std::size_t>(address & 0xFF); }
  void QueueReply(const Packet& reply);
  bool RenderScene(std::uint64_t frame, std::uint8_t* out, std::size_t length);
  bool RenderRaster(std::uint8_t* out, std::size_t length);
  void ComposeLine(int line, int dx, int dy, std::uint8_t* out) const;
  bool PrepareImage();
  bool PrepareRaster();

  std::array<std::uint16_t, kRegisterCount> registers_{};
  std::array<std::uint8_t, kRomSize> rom_{};
  bool sixteenBit_ = false;
  std::uint32_t transferSamples_ = 0;
  // The reply queue: a ring of the newest kMaxQueuedReplies replies, oldest at replyHead_.
  std::array<Packet, kMaxQueuedReplies> replies_{};
  std::size_t replyHead_ = 0;
  std::size_t replyCount_ = 0;

  std::array<std::uint64_t, 256> packetCounts_{};
  std::uint64_t totalPackets_ = 0;
  std::array<Packet, 256> lastPackets_{};
  Packet lastPacket_{};

  Scene scene_;
  int level_ = 100;
  // The scene mosaic at design levels, and the image area as sent at the current settings.
  ModelArray<std::uint16_t> mosaic_;
  std::uint32_t mosaicVersion_ = 0;
  ModelArray<std::uint8_t> image_;
  std::array<std::uint16_t, kLevelMax + 1> levelTable_{};  // design level -> sample sent
  struct ImageKey {
    std::uint32_t sceneVersion = 0;
    int exposure = -1;
    int level = -1;
    int bytesPerSample = 0;
    bool operator==(const ImageKey&) const = default;
  } imageKey_;
  ModelArray<std::uint8_t> lineScratch_;

  bool rasterActive_ = false;
  ModelArray<std::uint8_t> raster_;  // as given
  int rasterBytesPerSample_ = 1;
  ModelArray<std::uint8_t> rasterSent_;  // converted to the current sample width
  int rasterSentBytesPerSample_ = 0;
};

}  // namespace orvex::vcam
