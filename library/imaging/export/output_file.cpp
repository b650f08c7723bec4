#include "imaging/export/output_file.h"

#include "platform/file.h"

namespace quorvel::imaging {

OutputFile::OutputFile(const std::wstring& name)
    : name_(name), file_(platform::CreateFileForWriting(name)) {}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_ && file_ != nullptr) (void)platform::RemoveFile(name_);
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
  if (!committed_) (void)platform::RemoveFile(name_);
  return committed_;
}

}  // namespace quorvel::imaging
