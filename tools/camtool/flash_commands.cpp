// The flash commands: the device record and the data areas, over a flash
// connection so no video is started.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "commands.h"
#include "connection.h"
#include "files.h"
#include "quorvel/quorvel.h"

namespace camtool {
namespace {

constexpr std::size_t kRecordSize = RVX_FLASH_RECORD_SIZE;
constexpr std::size_t kAreaSize = RVX_FLASH_AREA_SIZE;
constexpr std::size_t kMaxWrite = RVX_FLASH_MAX_WRITE;

// The long transfers take seconds; a line before and after tells a person
// watching that camtool is busy and not stuck. stderr keeps stdout clean
// for scripts.
class Progress {
 public:
  explicit Progress(const std::string& what) {
    std::fprintf(stderr, "%s ...\n", what.c_str());
  }
  void Done() { std::fprintf(stderr, "done\n"); }
};

Failure Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  if (!WriteFile(path, bytes.data(), bytes.size())) {
    return "cannot write " + path;
  }
  return std::nullopt;
}

}  // namespace

Failure ReadRecord(const Request& request) {
  const std::string& path = request.path;
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kFlash, &whyNot);
  if (!camera) return whyNot;
  std::vector<std::uint8_t> record(kRecordSize);
  if (rvx_FlashOperation(camera->handle(), RVX_FLASH_READ_RECORD, record.data(),
                         0) == 0) {
    return "cannot read the device record";
  }
  return Save(path, record);
}

Failure WriteRecord(const Request& request) {
  const std::string& path = request.path;
  auto record = ReadFile(path);
  if (!record) return "cannot read " + path;
  if (record->size() != kRecordSize) {
    return path + " holds " + std::to_string(record->size()) +
           " bytes; a device record is 372";
  }
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kFlash, &whyNot);
  if (!camera) return whyNot;
  if (rvx_FlashOperation(camera->handle(), RVX_FLASH_WRITE_RECORD,
                         record->data(), 0) == 0) {
    return "the camera did not take the device record";
  }
  return std::nullopt;
}

Failure ReadArea(const Request& request) {
  const std::int32_t area = request.area;
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kFlash, &whyNot);
  if (!camera) return whyNot;
  std::vector<std::uint8_t> bytes(kAreaSize);
  Progress progress("reading area " + std::to_string(area) + " (" +
                    std::to_string(kAreaSize) + " bytes)");
  if (rvx_FlashOperation(camera->handle(), RVX_FLASH_READ_AREA, bytes.data(),
                         area) == 0) {
    return "cannot read area " + std::to_string(area);
  }
  progress.Done();
  return Save(request.path, bytes);
}

Failure WriteAreas(const Request& request) {
  const std::string& path = request.path;
  auto bytes = ReadFile(path);
  if (!bytes) return "cannot read " + path;
  if (bytes->empty() || bytes->size() > kMaxWrite) {
    return path + " holds " + std::to_string(bytes->size()) +
           " bytes; areas take 1 to " + std::to_string(kMaxWrite);
  }
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kFlash, &whyNot);
  if (!camera) return whyNot;
  const std::size_t lastArea = 1 + (bytes->size() + kAreaSize - 1) / kAreaSize;
  Progress progress("writing " + std::to_string(bytes->size()) +
                    " bytes to areas 2-" + std::to_string(lastArea));
  if (rvx_FlashOperation(camera->handle(), RVX_FLASH_WRITE_AREAS, bytes->data(),
                         static_cast<std::int32_t>(bytes->size())) == 0) {
    return "the camera did not take the areas (those before the failing "
           "one may be written)";
  }
  progress.Done();
  return std::nullopt;
}

}  // namespace camtool
