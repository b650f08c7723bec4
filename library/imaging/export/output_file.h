// The file an export writes: removed again unless Commit() finds it
// completely written, so a failed export never leaves a partial file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace quorvel::imaging {

class OutputFile {
 public:
  // Creates (or truncates) the file; a name the platform cannot express or
  // a file that cannot be created makes every Write and the Commit fail.
  explicit OutputFile(const std::wstring& name);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False from the first failed write on; later writes write nothing.
  bool Write(const void* bytes, std::size_t count);
  // Closes the file and keeps it if every write and the close succeeded.
  bool Commit();

 private:
  std::wstring name_;
  std::FILE* file_ = nullptr;
  bool ok_ = true;
  bool committed_ = false;
};

}  // namespace quorvel::imaging
