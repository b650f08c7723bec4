// The receiver's view of a camera's data channel: reads packets, assembles
// frames in the fill slot, decodes and labels motion masks, calls the
// application's callbacks and publishes finished frames.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/byte_stream.h"
#include "platform/transfer.h"
#include "quorvel/quorvel.h"
#include "receiver/data_wire.h"
#include "receiver/object_labeller.h"
#include "registry/camera_record.h"

namespace quorvel {

// Reads on the data channel: a packet that has begun must go on arriving.
inline const platform::TransferLimits kDataLimits =
    platform::TransferLimits::Idle(10000);

// The mask path's working memory: the run code as it arrives, and the
// labeller's buffers. The receiver keeps one for its connection; a caller
// that runs many short streams (a fuzz target) keeps one across them, so a
// large frame's buffers are not allocated and faulted in for each stream.
// The code buffer always has exactly the frame size of the stream that
// uses it, so an overrun of it shows under AddressSanitizer.
struct MaskWork {
  std::unique_ptr<std::uint8_t[]> code;
  std::int32_t codeBytes = 0;
  ObjectLabeller labeller;
};

class CFrameSocket {
 public:
  // input is the record's data connection (or, for a fuzz target, bytes
  // in memory), and work the mask path's memory, both borrowed for the
  // receiver's life.
  CFrameSocket(CameraRecord& record, platform::ByteStream& input,
               MaskWork& work);
  CFrameSocket(const CFrameSocket&) = delete;
  CFrameSocket& operator=(const CFrameSocket&) = delete;

  // Handles one read notification: reads at most one packet. (The poll loop
  // that notifies has no error of its own to pass: a broken connection shows
  // in the read.)
  void OnReceive();

  std::int32_t writeOffset() const { return writeOffset_; }

 private:
  void OnFrameHeader(std::int32_t length);
  void OnFrameData(std::int32_t type, std::int32_t length);
  void CompleteFrame(bool maskFrame);
  // Accounts for an image data packet about to be stored at writeOffset_.
  void CoverPixels(std::int32_t length);
  // Marks the pixels no data reached since the frame started, from `from`
  // on (what a mask's runs will write is left to the decoding).
  void FillUncoveredPixels(std::int32_t from);
  // The mask code counts as zero from each frame start; it is zeroed only
  // where a mask packet or the decoding is about to reach past what was
  // stored since.
  void CoverMask(std::int32_t length);
  void ZeroMaskUpTo(std::int32_t end);
  void LabelObjects(FrameSlot& slot);
  void Publish();
  bool EnsureMaskBuffers();
  // Reads and drops a body the receiver does not store; a body longer than
  // any packet of its kind may be loses the camera instead.
  void SkipBody(std::int64_t bytes);
  // The same for picture or mask data outside a frame, which may be up to
  // one frame long.
  void SkipData(std::int32_t length);
  // True for a read that worked; a failed one loses the camera.
  bool Check(platform::IoResult result);
  void Lose(std::int32_t reason);

  std::vector<ObjectReport> objectList_;
  CameraRecord* const record_;
  platform::ByteStream& input_;
  std::int32_t frameBytes_ = 0;
  std::int32_t streamingAtHeader_ = 0;
  std::int32_t inFrame_ = 0;
  std::int32_t lineCount_ = 0;
  std::int32_t writeOffset_ = 0;
  MaskWork& work_;
  // The frame size of work_.code once this stream has made it ready; 0
  // before.
  std::int32_t maskCapacity_ = 0;
  receiver::FrameHeader frameHeader_{};
  // Bytes of the fill slot's pixels written since the frame started; the
  // rest is filled with the unwritten marker only when the frame completes,
  // so a whole frame of data is not preceded by a pass over its buffer.
  std::int32_t pixelsCovered_ = 0;
  bool pixelFillPending_ = false;
  // Bytes of maskBuffer_ from its start that hold this frame's code or the
  // zeros it starts with.
  std::int32_t maskCovered_ = 0;
};

}  // namespace quorvel
