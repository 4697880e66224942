#include "model/camera_model.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace orvex::vcam {
namespace {

constexpr std::array<std::uint8_t, 8> kProductCode = {'Q', 'X', '2', '1', '8', 0, 0x01, 0x00};

}  // namespace

CameraModel::CameraModel(int index) {
  registers_[0x00] = 0x06A0;  // FPGA identification
  registers_[0x01] = 0x0102;  // FPGA version
  registers_[kExposureRegister] = kReferenceExposure;

  rom_.fill(0xFF);  // erased
  std::copy(kProductCode.begin(), kProductCode.end(), rom_.begin());
  const std::array<std::uint8_t, 8> id = {
      'V', 'C', 'A', 'M', '-', '0', '0', static_cast<std::uint8_t>('0' + (index & 7))};
  std::copy(id.begin(), id.end(), rom_.begin() + 8);
}

bool CameraModel::Command(const std::uint8_t* packet, std::size_t length) {
  if (packet == nullptr || length != kPacketSize) return false;
  Packet p;
  std::memcpy(p.data(), packet, kPacketSize);
  ++packetCounts_[p[0]];
  ++totalPackets_;
  lastPackets_[p[0]] = p;
  lastPacket_ = p;

  switch (p[0]) {
    case kFrameSize:
      transferSamples_ = std::uint32_t{p[1]} | std::uint32_t{p[2]} << 8 |
                         std::uint32_t{p[3]} << 16 | std::uint32_t{p[4]} << 24;
      break;
    case kSampleWidth:
      sixteenBit_ = p[1] != 0;
      break;
    case kRomWrite:
      rom_[p[1]] = p[2];
      break;
    case kRegisterWrite:
      registers_[p[1]] = static_cast<std::uint16_t>(p[2] | p[3] << 8);
      break;
    case kRomRead:
    case kRegisterRead: {
      // A read answers with an acknowledgement and then the value.
      Packet ack{};
      ack[0] = p[0];
      ack[1] = p[1];
      QueueReply(ack);
      Packet value{};
      if (p[0] == kRomRead) {
        value[0] = rom_[p[1]];
      } else {
        value[0] = static_cast<std::uint8_t>(registers_[p[1]] & 0xFF);
        value[1] = static_cast<std::uint8_t>(registers_[p[1]] >> 8);
      }
      QueueReply(value);
      break;
    }
    default:  // the stream request and unknown opcodes change nothing here
      break;
  }
  return true;
}

void CameraModel::QueueReply(const Packet& reply) {
  if (replyCount_ == kMaxQueuedReplies) {  // the oldest makes room
    replyHead_ = (replyHead_ + 1) % kMaxQueuedReplies;
    --replyCount_;
  }
  replies_[(replyHead_ + replyCount_) % kMaxQueuedReplies] = reply;
  ++replyCount_;
}

bool CameraModel::TakeReply(std::uint8_t* out, std::size_t length) {
  if (out == nullptr || length != kPacketSize || replyCount_ == 0) return false;
  std::memcpy(out, replies_[replyHead_].data(), kPacketSize);
  replyHead_ = (replyHead_ + 1) % kMaxQueuedReplies;
  --replyCount_;
  return true;
}

std::uint64_t CameraModel::PacketCount(int opcode) const {
  if (opcode < 0) return totalPackets_;
  return packetCounts_[Index(opcode)];
}

bool CameraModel::LastPacket(int opcode, Packet* out) const {
  if (opcode < 0) {
    if (totalPackets_ == 0) return false;
    *out = lastPacket_;
    return true;
  }
  if (packetCounts_[Index(opcode)] == 0) return false;
  *out = lastPackets_[Index(opcode)];
  return true;
}

bool CameraModel::SetRaster(const void* samples, std::size_t count, int bytesPerSample) {
  if (samples == nullptr || count == 0 || (bytesPerSample != 1 && bytesPerSample != 2)) {
    return false;
  }
  if (count > static_cast<std::size_t>(-1) / 2) return false;
  const std::size_t bytes = count * static_cast<std::size_t>(bytesPerSample);
  ModelArray<std::uint8_t> copy;
  if (!copy.Assign(static_cast<const std::uint8_t*>(samples), bytes)) return false;
  raster_ = std::move(copy);
  rasterBytesPerSample_ = bytesPerSample;
  rasterSentBytesPerSample_ = 0;
  rasterSent_.Clear();
  rasterActive_ = true;
  return true;
}

void CameraModel::ClearRaster() {
  rasterActive_ = false;
  raster_.Clear();
  rasterSent_.Clear();
  rasterSentBytesPerSample_ = 0;
}

bool CameraModel::RenderFrame(std::uint64_t frame, std::uint8_t* out, std::size_t length) {
  if (out == nullptr || length == 0) return true;
  if (rasterActive_) return RenderRaster(out, length);
  return RenderScene(frame, out, length);
}

bool CameraModel::PrepareRaster() {
  const int width = BytesPerSample();
  if (rasterSentBytesPerSample_ == width) return true;
  if (width == rasterBytesPerSample_) {
    if (!rasterSent_.Assign(raster_.data(), raster_.size())) return false;
  } else {
    const std::size_t count = raster_.size() / static_cast<std::size_t>(rasterBytesPerSample_);
    if (!rasterSent_.SetSize(count * static_cast<std::size_t>(width))) return false;
    if (width == 1) {  // 10-bit values in one byte: the top eight bits
      for (std::size_t i = 0; i < count; ++i) {
        const unsigned value = raster_[2 * i] | raster_[2 * i + 1] << 8;
        rasterSent_[i] = static_cast<std::uint8_t>(std::min(value >> 2, 255u));
      }
    } else {  // 8-bit values as 10-bit
      for (std::size_t i = 0; i < count; ++i) {
        const unsigned value = unsigned{raster_[i]} << 2;
        rasterSent_[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
        rasterSent_[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
      }
    }
  }
  rasterSentBytesPerSample_ = width;
  return true;
}

bool CameraModel::RenderRaster(std::uint8_t* out, std::size_t length) {
  if (!PrepareRaster()) return false;
  const std::size_t copied = std::min(length, rasterSent_.size());
  std::memcpy(out, rasterSent_.data(), copied);
  std::memset(out + copied, 0, length - copied);
  return true;
}

bool CameraModel::PrepareImage() {
  if (mosaicVersion_ != scene_.version() || mosaic_.empty()) {
    mosaicVersion_ = 0;  // stale until the new mosaic is complete
    if (!mosaic_.SetSize(kScenePixels)) return false;
    scene_.Mosaic(mosaic_.data());
    mosaicVersion_ = scene_.version();
  }
  const ImageKey key{scene_.version(), registers_[kExposureRegister], level_, BytesPerSample()};
  if (key == imageKey_ && !image_.empty()) return true;

  // Brightness is inversely proportional to the exposure register (a smaller value is a longer
  // exposure); one table maps every design level to the sample sent.
  const std::int64_t divisor = std::int64_t{std::max(key.exposure, 1)} * 100;
  std::array<std::uint16_t, kLevelMax + 1>& table = levelTable_;
  for (int level = 0; level <= kLevelMax; ++level) {
    const std::int64_t value = level * std::int64_t{kReferenceExposure} * key.level / divisor;
    const auto sample = static_cast<std::uint16_t>(std::min<std::int64_t>(value, kLevelMax));
    table[static_cast<std::size_t>(level)] =
        key.bytesPerSample == 1 ? static_cast<std::uint16_t>(sample >> 2) : sample;
  }
  imageKey_ = {};
  if (!image_.SetSize(kScenePixels * static_cast<std::size_t>(key.bytesPerSample))) return false;
  if (key.bytesPerSample == 1) {
    for (std::size_t i = 0; i < kScenePixels; ++i) {
      image_[i] = static_cast<std::uint8_t>(table[mosaic_[i]]);
    }
  } else {
    for (std::size_t i = 0; i < kScenePixels; ++i) {
      const std::uint16_t sample = table[mosaic_[i]];
      image_[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
      image_[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
    }
  }
  imageKey_ = key;
  return true;
}

void CameraModel::ComposeLine(int line, int dx, int dy, std::uint8_t* out) const {
  const auto width = static_cast<std::size_t>(BytesPerSample());
  const std::size_t lead = kFirstImageSample * width;
  const std::size_t imageBytes = kSceneWidth * width;
  const std::size_t shift = static_cast<std::size_t>(dx) * width;
  const std::size_t row = static_cast<std::size_t>((line + dy) % kSceneHeight);
  const std::uint8_t* source = image_.data() + row * imageBytes;
  std::memset(out, 0, lead);
  std::memcpy(out + lead, source + shift, imageBytes - shift);
  std::memcpy(out + lead + imageBytes - shift, source, shift);
  std::memset(out + lead + imageBytes, 0, kLineLength * width - lead - imageBytes);
}

bool CameraModel::RenderScene(std::uint64_t frame, std::uint8_t* out, std::size_t length) {
  if (!PrepareImage()) return false;
  const std::size_t lineBytes = kLineLength * static_cast<std::size_t>(BytesPerSample());
  // A read that ends inside a line needs the whole line composed first.
  if (length % lineBytes != 0 && length < kFrameLines * lineBytes &&
      !lineScratch_.SetSize(lineBytes)) {
    return false;
  }
  int dx = 0;
  int dy = 0;
  scene_.Offset(frame, &dx, &dy);
  std::size_t done = 0;
  for (int line = 0; line < kFrameLines && done < length; ++line) {
    if (length - done >= lineBytes) {
      ComposeLine(line, dx, dy, out + done);
      done += lineBytes;
    } else {  // the read ends inside this line
      ComposeLine(line, dx, dy, lineScratch_.data());
      std::memcpy(out + done, lineScratch_.data(), length - done);
      done = length;
    }
  }
  std::memset(out + done, 0, length - done);
  return true;
}

}  // namespace orvex::vcam
