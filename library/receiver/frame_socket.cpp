#include "receiver/frame_socket.h"

#include <algorithm>
#include <cstring>

#include "platform/allocate.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "receiver/motion_mask.h"
#include "receiver/read_frame_body.h"

namespace quorvel {

using platform::IoResult;
using namespace receiver;

namespace {

constexpr std::uint8_t kUnwrittenPixel = 0xCD;
// No packet but picture and mask data carries more than this; a longer one
// means the stream can no longer be followed.
constexpr std::int64_t kLargestOtherBody = 64 * 1024;

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

CFrameSocket::CFrameSocket(CameraRecord& record, platform::ByteStream& input,
                           MaskWork& work)
    : record_(&record), input_(input), work_(work) {}

void CFrameSocket::Lose(std::int32_t reason) { MarkLost(*record_, reason); }

bool CFrameSocket::Check(IoResult result) {
  if (result == IoResult::kOk) return true;
  // Closed, broken, or silent for the idle time-out in the middle of a
  // packet: nothing can be read in step from it any more.
  Lose(RVX_LOST_DATA_CONNECTION);
  return false;
}

void CFrameSocket::SkipBody(std::int64_t bytes) {
  if (bytes > kLargestOtherBody) {
    Lose(RVX_LOST_DATA_PROTOCOL);
    return;
  }
  if (bytes > 0) {
    (void)Check(input_.Skip(bytes));
  }
}

void CFrameSocket::OnReceive() {
  if (record_ == nullptr || IsLost(*record_)) return;
  std::uint8_t header[kPacketHeaderSize];
  if (!Check(input_.Read(header, kPacketHeaderSize))) {
    return;
  }
  const std::int32_t type = platform::LoadLE32Signed(header);
  const std::int32_t length = platform::LoadLE32Signed(header + 4);
  switch (type) {
    case kFrameHeaderPacket:
      OnFrameHeader(length);
      break;
    case kImageDataPacket:
      OnFrameData(type, length);
      break;
    case kMaskDataPacket:
      if (!EnsureMaskBuffers()) {
        // No memory for the mask: drop the packet but keep the stream in
        // step.
        SkipData(length);
        break;
      }
      OnFrameData(type, length);
      break;
    case kCommandDonePacket:
      SignalCommandDone(record_);
      SkipBody(length);
      break;
    default:
      // A packet of no known type: its body is dropped so the next packet
      // header is read where it starts.
      SkipBody(length);
      break;
  }
}

bool CFrameSocket::EnsureMaskBuffers() {
  if (maskCapacity_ > 0) return true;
  const std::int32_t bytes = FrameBytesOf(*record_);
  if (bytes <= 0) return false;
  if (work_.code == nullptr || work_.codeBytes != bytes) {
    work_.code.reset();
    work_.codeBytes = 0;
    work_.code = platform::TryAllocateForOverwrite<std::uint8_t>(
        static_cast<std::size_t>(bytes));
    if (work_.code == nullptr) return false;
    work_.codeBytes = bytes;
  }
  try {
    work_.labeller.Reserve(record_->width, record_->height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  maskCapacity_ = bytes;
  // Nothing of it holds the frame's code or zeros yet: the zeros are
  // written only as far as a packet or the decoding reaches, so a large
  // frame's buffer is not cleared whole for a short mask.
  maskCovered_ = 0;
  return true;
}

void CFrameSocket::OnFrameHeader(std::int32_t length) {
  if (length != kFrameHeaderBodySize) {
    SkipBody(length);
    return;
  }
  std::uint8_t body[kFrameHeaderBodySize];
  if (!Check(input_.Read(body, kFrameHeaderBodySize))) {
    return;
  }
  frameHeader_.flags = platform::LoadLE32Signed(body);
  frameHeader_.width = platform::LoadLE32Signed(body + 4);
  frameHeader_.lines = platform::LoadLE32Signed(body + 8);

  // While a frame is open a new start abandons it and any other header
  // continues it; without this a frame that never completes would block
  // every later frame until disconnect.
  inFrame_ = 1;
  frameBytes_ = FrameBytesOf(*record_);
  FrameSlot& slot = *record_->slots.fillSlot;
  if ((frameHeader_.flags & kFrameStartBit) != 0) {
    lineCount_ = frameHeader_.lines;
    writeOffset_ = 0;
    pixelsCovered_ = 0;
    pixelFillPending_ = true;
    maskCovered_ = 0;
    slot.objectCount = 0;
    slot.objects.reset();
  } else {
    lineCount_ = ClampToInt32(std::int64_t{lineCount_} + frameHeader_.lines);
  }
  streamingAtHeader_ = record_->streaming.load(std::memory_order_relaxed);

  const RvxFrameCallback callback = record_->frameCallback.load();
  if (callback != nullptr && (frameHeader_.flags & kFrameCompleteBit) != 0 &&
      streamingAtHeader_ == 1) {
    // A camera's line count may be anything; the callback is promised one
    // within the picture.
    const CallbackGate::Pass pass(record_->callbackGate);
    if (pass) {
      callback(record_->name, std::clamp(lineCount_, 0, record_->height),
               record_->frameUser.load());
    }
  }
}

void CFrameSocket::OnFrameData(std::int32_t type, std::int32_t length) {
  if (inFrame_ == 0) {
    // Data outside a frame is not stored; reading it past keeps the stream
    // in step.
    SkipData(length);
    return;
  }
  if (length > std::max(frameBytes_, 0)) {
    Lose(RVX_LOST_DATA_PROTOCOL);
    return;
  }
  const bool mask = type == kMaskDataPacket;
  std::uint8_t* target =
      mask ? work_.code.get() : record_->slots.fillSlot->pixels.get();
  const std::int32_t capacity = mask ? maskCapacity_ : frameBytes_;
  if (mask) {
    CoverMask(length);
  } else {
    CoverPixels(length);
  }
  if (!Check(ReadFrameBody(*record_, input_, target, capacity, writeOffset_,
                           length))) {
    return;
  }
  // The offset never leaves the frame, whatever lengths the camera sends.
  writeOffset_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(
      std::int64_t{writeOffset_} + length, 0, std::max(frameBytes_, 0)));

  if ((frameHeader_.flags & kFrameCompleteBit) == 0) {
    platform::SleepMs(1);
    return;
  }
  if (streamingAtHeader_ == 0) {
    // Began before the stream was started: dropped, and the receiver is
    // ready for the next frame.
    inFrame_ = 0;
    platform::SleepMs(1);
    return;
  }
  CompleteFrame(mask);
}

void CFrameSocket::CoverPixels(std::int32_t length) {
  if (!pixelFillPending_ || writeOffset_ < 0 || writeOffset_ >= frameBytes_) {
    return;
  }
  std::uint8_t* pixels = record_->slots.fillSlot->pixels.get();
  if (pixels == nullptr) return;
  if (writeOffset_ > pixelsCovered_) {
    std::memset(pixels + pixelsCovered_, kUnwrittenPixel,
                static_cast<std::size_t>(writeOffset_ - pixelsCovered_));
  }
  const std::int32_t bytes = length > 0 ? length : frameBytes_;
  const std::int32_t stored = std::min(bytes, frameBytes_ - writeOffset_);
  pixelsCovered_ = std::max(pixelsCovered_, writeOffset_ + stored);
}

void CFrameSocket::ZeroMaskUpTo(std::int32_t end) {
  if (end > maskCovered_) {
    std::memset(work_.code.get() + maskCovered_, 0,
                static_cast<std::size_t>(end - maskCovered_));
    maskCovered_ = end;
  }
}

void CFrameSocket::CoverMask(std::int32_t length) {
  if (writeOffset_ < 0 || writeOffset_ >= maskCapacity_) return;
  ZeroMaskUpTo(writeOffset_);
  const std::int32_t bytes = length > 0 ? length : frameBytes_;
  const std::int32_t stored = std::min(bytes, maskCapacity_ - writeOffset_);
  maskCovered_ = std::max(maskCovered_, writeOffset_ + stored);
}

void CFrameSocket::FillUncoveredPixels(std::int32_t from) {
  std::uint8_t* pixels = record_->slots.fillSlot->pixels.get();
  from = std::max(from, pixelsCovered_);
  if (pixelFillPending_ && pixels != nullptr && from < frameBytes_) {
    std::memset(pixels + from, kUnwrittenPixel,
                static_cast<std::size_t>(frameBytes_ - from));
  }
  pixelFillPending_ = false;
}

void CFrameSocket::CompleteFrame(bool maskFrame) {
  FrameSlot& slot = *record_->slots.fillSlot;
  // Sizes from the camera are clipped to the record's, and never negative,
  // so every later pass over the slot stays inside its buffers.
  slot.width = std::clamp(frameHeader_.width, 0, record_->width);
  slot.height = std::clamp(lineCount_, 0, record_->height);

  if (!maskFrame || slot.pixels == nullptr) {
    FillUncoveredPixels(0);
  } else {
    // The code read is what the frame's packets stored, or zeros where
    // none did; the pixels its runs reach are decoded, not marked first.
    ZeroMaskUpTo(std::min(writeOffset_, maskCapacity_));
    const std::size_t pixels = static_cast<std::size_t>(slot.width) *
                               static_cast<std::size_t>(slot.height);
    FillUncoveredPixels(static_cast<std::int32_t>(
        MaskRunPixels(work_.code.get(), writeOffset_, pixels)));
    (void)DecodeMotionMask(work_.code.get(), writeOffset_, slot.pixels.get(),
                           slot.width, slot.height);
  }
  const RvxStreamCallback stream = record_->streamCallback.load();
  if (stream != nullptr) {
    const CallbackGate::Pass pass(record_->callbackGate);
    if (pass) {
      stream(record_->name, slot.pixels.get(), slot.width * slot.height,
             record_->pixelFormat, record_->streamUser.load());
    }
  }

  if (!maskFrame) {
    Publish();
  } else {
    if (record_->detectObjects.load(std::memory_order_relaxed) != 0) {
      LabelObjects(slot);
    }
    std::unique_ptr<ObjectReport[]> copy;
    if (!objectList_.empty()) {
      const std::size_t count = objectList_.size();
      auto objects = platform::TryAllocate<ObjectReport>(count);
      if (objects != nullptr) {
        std::copy(objectList_.begin(), objectList_.end(), objects.get());
        slot.objects = std::move(objects);
        slot.objectCount = static_cast<std::int32_t>(count);
      } else {
        slot.objects.reset();
        slot.objectCount = 0;
      }
      objectList_.clear();
    } else {
      slot.objectCount = 0;
    }
    const RvxObjectsCallback objects = record_->objectsCallback.load();
    const std::int32_t count = slot.objectCount;
    if (objects != nullptr && count > 0) {
      copy =
          platform::TryAllocate<ObjectReport>(static_cast<std::size_t>(count));
      if (copy != nullptr) {
        std::copy(slot.objects.get(), slot.objects.get() + count, copy.get());
      }
    }
    // Once published the slot belongs to the display side; only the copy
    // is touched after this.
    Publish();
    if (copy != nullptr) {
      const CallbackGate::Pass pass(record_->callbackGate);
      if (pass) {
        objects(record_->name, count, copy.get(), record_->objectsUser.load());
      }
    }
  }
  record_->rxRate.Count(platform::TickCount());
  inFrame_ = 0;
  platform::SleepMs(1);
}

void CFrameSocket::LabelObjects(FrameSlot& slot) {
  if (slot.pixels == nullptr) return;
  if (slot.labels == nullptr) {
    slot.labels = platform::TryAllocate<std::int32_t>(
        static_cast<std::size_t>(record_->width) *
        static_cast<std::size_t>(record_->height));
    if (slot.labels == nullptr) return;
  }
  work_.labeller.LabelMovingObjects(
      slot.pixels.get(), slot.labels.get(), slot.width, slot.height,
      record_->minObjectSize.load(std::memory_order_relaxed), objectList_,
      [this](std::uint8_t* mask) {
        const RvxAlarmCallback alarm = record_->alarmCallback.load();
        if (alarm == nullptr) return;
        const CallbackGate::Pass pass(record_->callbackGate);
        if (pass) alarm(record_->name, mask, record_->alarmUser.load());
      },
      &slot.labelRows);
}

void CFrameSocket::Publish() { record_->slots.Publish(); }

void CFrameSocket::SkipData(std::int32_t length) {
  const std::int32_t bytes = length > 0 ? length : FrameBytesOf(*record_);
  if (bytes > std::max(FrameBytesOf(*record_), 0)) {
    Lose(RVX_LOST_DATA_PROTOCOL);
    return;
  }
  if (bytes > 0) {
    (void)Check(input_.Skip(bytes));
  }
}

}  // namespace quorvel
