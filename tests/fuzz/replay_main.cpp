// Runs a fuzz target over its committed corpus without libFuzzer, so every
// build (g++ included) keeps the corpus, and each crash once found, as a
// regression test. Arguments are corpus directories or single inputs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace {

std::vector<std::uint8_t> ReadInput(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file),
          std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path argument(argv[i]);
    if (fs::is_directory(argument)) {
      for (const fs::directory_entry& entry :
           fs::directory_iterator(argument)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else if (fs::is_regular_file(argument)) {
      inputs.push_back(argument);
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 1;
    }
  }
  // A replay that runs nothing would pass without testing anything.
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...; no inputs found\n",
                 argv[0]);
    return 1;
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& path : inputs) {
    const std::vector<std::uint8_t> input = ReadInput(path);
    std::fprintf(stderr, "replay %s (%zu bytes)\n", path.c_str(), input.size());
    // Never a null pointer, as libFuzzer never passes one.
    const std::uint8_t empty = 0;
    (void)LLVMFuzzerTestOneInput(input.empty() ? &empty : input.data(),
                                 input.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
