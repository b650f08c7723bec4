#include "imaging/export/output_file.h"

#include "platform/text.h"

namespace quorvel::imaging {

OutputFile::OutputFile(const std::wstring& name)
    : path_(platform::FileSystemName(name)) {
  if (!path_.empty()) file_ = std::fopen(path_.c_str(), "wb");
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_ && file_ != nullptr) std::remove(path_.c_str());
}

bool OutputFile::Write(const void* bytes, std::size_t count) {
  ok_ = ok_ && file_ != nullptr &&
        (count == 0 || std::fwrite(bytes, 1, count, file_) == count);
  return ok_;
}

bool OutputFile::Commit() {
  if (file_ == nullptr) return false;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  committed_ = ok_ && closed;
  if (!committed_) std::remove(path_.c_str());
  return committed_;
}

}  // namespace quorvel::imaging
