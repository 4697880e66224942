#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "base/manual_reset_event.h"
#include "base/relaxed_atomic.h"
#include "platform/driver_port.h"
#include "platform/system_clock.h"

namespace orvex {

// The channel to one camera through its USB driver: command packets, the sensor timing model
// with the device probe, the reader threads with their frame buffers, and the extraction of
// the active window from a raw frame. Its result codes (0 success, 1, 3, 4, 7, 10, 12, 14, 19,
// 21, 22) stay inside the library; the camera context turns them into error codes.
class DeviceLink {
 public:
  static constexpr int kDeviceSlots = 8;

  // Probes device paths 0..7, selects device 0 and sets the readout mode.
  DeviceLink(platform::DriverPort& port, platform::SystemClock& clock);
  // Releases the buffers and events; reader threads must have been stopped by the owner.
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // --- commands ---
  int SetSampleWidth(int sixteenBit);                                // always 1
  int SendFrameSize();                                               // always 1
  int WriteFpgaRegister(std::uint8_t address, std::uint16_t value);  // 1 sent whole, else 0
  int ReadFpgaRegister(std::uint8_t address, std::uint16_t* value);  // 1 or 0
  int WriteSromByte(std::uint8_t address, std::uint8_t value);       // 1 sent whole, else 0
  int ReadSromByte(std::uint8_t address, std::uint8_t* value);       // 1 read, else 0 (value kept)
  int WriteSromId(std::uint8_t index, std::uint8_t value);           // as above; 0 for index > 7
  int ReadSromId(std::uint8_t index, std::uint8_t* value);

  // --- devices and timing ---
  void ProbeDevices();
  int SelectDevice(int index);  // 0, or 22 outside 0..7 (the timing is reset either way)
  void ResetTiming();
  void SetReadoutMode();
  int DeviceSlotCount() const { return kDeviceSlots; }
  int IsDevicePresent(int index) const;
  int SelectedDevice() const;

  // --- transfer engine ---
  int ConfigureFrame(std::int32_t lineLength, std::int32_t hStart, std::int32_t width,
                     std::int32_t frameLines, std::int32_t vStart, std::int32_t height,
                     std::int32_t bufferCount);
  int StartSingleFrame();
  int FinishSingleFrame();
  int StartStream();
  int PollStream();
  int StopStream();

  // --- window extraction ---
  // The window of the last frame into `destination`. With `expected`, only a window of that
  // size is copied (3 otherwise): the caller sized `destination` for it, and a device change on
  // another thread may reset the timing between its own check and the copy.
  struct WindowSize {
    std::int32_t width, height, sampleBytes;
  };
  int CopySingleFrame(void* destination, const WindowSize* expected = nullptr);
  int CopyStreamFrame(void* destination, const WindowSize* expected = nullptr);
  // Hands back the buffer PollStream found without copying it (a frame the caller could not
  // take), so that the next poll waits for a newer one instead of finding the same; 7 without
  // a stream.
  int SkipStreamFrame();

  // --- read-only views for the context and tests ---
  std::int32_t TransferSamples() const;
  std::int32_t BufferCount() const;
  std::int32_t StreamWritePosition() const;
  int SampleWidth16() const;
  std::int32_t LineLength() const;
  std::int32_t HStart() const;
  std::int32_t Width() const;
  std::int32_t FrameLines() const;
  std::int32_t VStart() const;
  std::int32_t Height() const;
  const char* DevicePath() const;

 private:
  static constexpr int kPacketBytes = 64;
  static constexpr int kPathChars = 128;
  static constexpr std::uint32_t kCommandPipe = 0;
  static constexpr std::uint32_t kReplyPipe = 1;
  static constexpr std::uint32_t kFramePipe = 2;

  struct FreeDeleter {
    void operator()(std::uint8_t* memory) const noexcept { std::free(memory); }
  };
  // Zeroed heap memory, allocated without throwing.
  using FrameBuffer = std::unique_ptr<std::uint8_t[], FreeDeleter>;

  // Shared with the single-frame reader thread. The caller fills the plain fields before the
  // thread starts; the reader publishes `result` before `idle`.
  struct SingleFrameBlock {
    std::uint8_t* buffer = nullptr;
    std::uint32_t byteCount = 0;
    char path[kPathChars] = {};
    std::unique_ptr<ManualResetEvent> event;
    std::atomic<int> result{0};
    std::atomic<int> idle{1};
  };

  // Shared with the stream reader thread. The reader is the only writer of `writePos`, `result`
  // and `failed`; the consumer the only writer of `readPos`. Both store `stopped`: the consumer
  // to ask for a stop, the reader when it ends (after `result` and `failed`). The reader's choice
  // of the next buffer (which skips the one the consumer holds) and the consumer's claim of the
  // newest buffer are made under `positions`: decided apart, a claim landing between the
  // reader's check and its move could hand the consumer the buffer the reader fills next.
  struct StreamBlock {
    std::uint32_t byteCount = 0;
    std::int32_t bufferCount = 0;
    char path[kPathChars] = {};
    std::unique_ptr<ManualResetEvent> event;
    std::atomic<int> result{0};
    std::atomic<int> stopped{1};
    std::atomic<int> failed{0};
    std::atomic<std::int32_t> writePos{0};
    std::atomic<std::int32_t> readPos{0};
    std::mutex positions;
  };

  // --- driver channel (driver_channel.cpp) ---
  int OpenDriver(const char* path, platform::DriverHandle* handle);
  int CloseDriver(platform::DriverHandle* handle);
  int PipeTransfer(platform::DriverHandle handle, std::uint32_t pipe, std::uint32_t length,
                   void* buffer, std::uint32_t* bytesReturned, bool sending);
  int SendPacket(platform::DriverHandle handle, std::uint32_t pipe, std::uint32_t length,
                 void* buffer);
  int ReceivePacket(platform::DriverHandle handle, std::uint32_t pipe, std::uint32_t length,
                    void* buffer);
  void FormatDevicePath(char (&path)[kPathChars], int index) const;
  static std::mutex& ReplyLock(int device);

  // --- transfer engine (transfer_engine.cpp) ---
  void ReleaseBuffers();
  bool ReaderActive() const;
  std::uint32_t FrameBytes() const;
  void RunSingleFrameReader();
  void RunStreamReader();

  // --- window extraction (window_extraction.cpp) ---
  // The geometry of one copy, read once.
  struct Window {
    std::int32_t lineLength, hStart, width, vStart, height;
    int sampleBytes;
  };
  // False when it does not lie inside the buffers, or is not the size `expected` (when given).
  bool CurrentWindow(Window* window, const WindowSize* expected = nullptr) const;
  // Lets the stream reader fill the buffer at `position` again; the consumer moves on past it.
  void HandBackStreamBuffer(std::int32_t position);
  static void ExtractWindow(const Window& window, const std::uint8_t* source, void* destination);

  platform::DriverPort& port_;
  platform::SystemClock& clock_;

  char baseName_[64] = {};
  char devicePath_[kPathChars] = {};
  RelaxedAtomic<int> sampleWidth16_{0};

  // Timing model. The owner changes it only while no reader runs; the fields are atomic anyway
  // so that a copy on the consumer's thread never reads a torn value.
  RelaxedAtomic<std::int32_t> lineLength_{0};
  RelaxedAtomic<std::int32_t> hStart_{0};
  RelaxedAtomic<std::int32_t> width_{0};
  RelaxedAtomic<std::int32_t> frameLines_{0};
  RelaxedAtomic<std::int32_t> vStart_{0};
  RelaxedAtomic<std::int32_t> height_{0};

  int present_[kDeviceSlots] = {};
  int selected_ = 0;

  // Buffers, replaced whole by ConfigureFrame. Each is transferSamples_ x 2 bytes.
  std::int32_t transferSamples_ = 0;
  std::int32_t bufferCount_ = 0;
  FrameBuffer rawFrame_;
  std::unique_ptr<FrameBuffer[]> ring_;

  SingleFrameBlock single_;
  StreamBlock stream_;
  std::thread streamThread_;  // held from StartStream until StopStream collects it
};

}  // namespace orvex
