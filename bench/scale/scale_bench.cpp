// How the library's cost grows with the number of cameras: 1 to 64
// simulated cameras, each a camsim process of its own, streaming 640 x 480
// at 30 frames a second, with and without display and as motion masks with
// detection, next to a plain socket loop that reads the same traffic.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "scale/figures.h"
#include "scale/library_run.h"
#include "scale/plain_loop.h"
#include "scale/run_config.h"

namespace {

using namespace scale;

struct Options {
  RunConfig config;
  std::vector<int> cameras = {1, 4, 16, 64};
  bool plain = true, pictures = true, display = true, masks = true;
};

void PrintUsage() {
  std::printf(
      "usage: scale_bench [--cameras LIST] [--kinds LIST] [--window S]\n"
      "                   [--idle S] [--warmup S] [--camsim PATH]\n"
      "  --cameras LIST  camera counts, 1 to %d each (default 1,4,16,64)\n"
      "  --kinds LIST    of plain, a (pictures, no display), b (pictures\n"
      "                  into memory windows), c (motion masks, detection,\n"
      "                  memory windows); default plain,a,b,c\n"
      "  --window S      measured seconds while streaming (default 5)\n"
      "  --idle S        measured seconds connected without a stream\n"
      "                  (default 2)\n"
      "  --warmup S      streaming seconds before the window (default 1)\n"
      "  --camsim PATH   the simulated camera (default the one built here)\n"
      "Camera i uses 127.0.50.(i+1) for the library and 127.0.51.(i+1) for\n"
      "the plain loop.\n",
      kMaxCameras);
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; std::getline(stream, word, ',');) {
    words.push_back(word);
  }
  return words;
}

bool ParseSeconds(const std::string& text, double* seconds) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !(value > 0.0) || value > 600.0) {
    return false;
  }
  *seconds = value;
  return true;
}

bool ParseCameras(const std::string& text, std::vector<int>* cameras) {
  cameras->clear();
  for (const std::string& word : Split(text)) {
    char* end = nullptr;
    const long count = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || count < 1 ||
        count > kMaxCameras) {
      return false;
    }
    cameras->push_back(static_cast<int>(count));
  }
  return !cameras->empty();
}

bool ParseKinds(const std::string& text, Options* options) {
  options->plain = options->pictures = options->display = options->masks =
      false;
  for (const std::string& word : Split(text)) {
    if (word == "plain") {
      options->plain = true;
    } else if (word == "a") {
      options->pictures = true;
    } else if (word == "b") {
      options->display = true;
    } else if (word == "c") {
      options->masks = true;
    } else {
      return false;
    }
  }
  return options->plain || options->pictures || options->display ||
         options->masks;
}

// Nothing to go on, else the status to exit with.
std::optional<int> ParseOptions(int argc, char** argv, Options* options) {
  // Every option but --help takes a value.
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      PrintUsage();
      return 0;
    }
    const bool hasValue = i + 1 < argc;
    const std::string value = hasValue ? argv[i + 1] : "";
    bool good = hasValue;
    if (option == "--cameras") {
      good = good && ParseCameras(value, &options->cameras);
    } else if (option == "--kinds") {
      good = good && ParseKinds(value, options);
    } else if (option == "--window") {
      good = good && ParseSeconds(value, &options->config.windowS);
    } else if (option == "--idle") {
      good = good && ParseSeconds(value, &options->config.idleS);
    } else if (option == "--warmup") {
      good = good && ParseSeconds(value, &options->config.warmUpS);
    } else if (option == "--camsim") {
      options->config.camsim = value;
      good = good && !value.empty();
    } else {
      good = false;
    }
    if (!good) {
      std::fprintf(stderr, "scale_bench: bad option %s%s%s (see --help)\n",
                   option.c_str(), hasValue ? " " : "", value.c_str());
      return 2;
    }
  }
  return std::nullopt;
}

// 64 cameras with display hold several hundred descriptors between the
// library, the bench's own channels and the camsims' pipes.
void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
      limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    (void)setrlimit(RLIMIT_NOFILE, &limit);
  }
}

void Progress(int cameras, const char* kind) {
  std::fprintf(stderr, "scale_bench: %d camera%s, %s\n", cameras,
               cameras == 1 ? "" : "s", kind);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  options.config.camsim = CAMSIM_PROGRAM;
  if (const std::optional<int> status = ParseOptions(argc, argv, &options)) {
    return *status;
  }
  if (::access(options.config.camsim.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "scale_bench: cannot run %s\n",
                 options.config.camsim.c_str());
    return 1;
  }
  RaiseOpenFileLimit();
  const std::string loadBefore = LoadAverage();
  const bool libraryKinds =
      options.pictures || options.display || options.masks;
  std::vector<Figures> rows;
  for (const int cameras : options.cameras) {
    if (options.plain &&
        (options.pictures || options.display || !libraryKinds)) {
      Progress(cameras, "plain loop, pictures");
      rows.push_back(RunPlainLoop(options.config, cameras, "image"));
    }
    if (options.plain && (options.masks || !libraryKinds)) {
      Progress(cameras, "plain loop, masks");
      rows.push_back(RunPlainLoop(options.config, cameras, "mask"));
    }
    const std::pair<bool, StreamKind> kinds[] = {
        {options.pictures, StreamKind::kPictures},
        {options.display, StreamKind::kDisplay},
        {options.masks, StreamKind::kMasks}};
    for (const auto& [wanted, kind] : kinds) {
      if (!wanted) continue;
      Progress(cameras, KindLabel(kind));
      rows.push_back(RunLibrary(options.config, cameras, kind));
    }
  }
  std::printf(
      "scale_bench: %d x %d at %d fps; window %.1f s, idle %.1f s, warm-up "
      "%.1f s; %ld cores; load average %s before, %s after\n",
      kWidth, kHeight, kFps, options.config.windowS, options.config.idleS,
      options.config.warmUpS, sysconf(_SC_NPROCESSORS_ONLN), loadBefore.c_str(),
      LoadAverage().c_str());
  std::printf(
      "cpu/cam, cpu all: this process's CPU as a share of one core over the\n"
      "  window, a camera and in all; us/frame: its CPU a frame received;\n"
      "  x plain: us/frame over the plain loop's on the same traffic\n"
      "fps/cam: frames received a second a camera in the window, which opens\n"
      "  once the streams have caught up; lag s: the camera furthest behind\n"
      "  its camsim's 30 a second as the window closed\n"
      "rx/sent, lost: frames received over frames camsim sent, whole stream;\n"
      "  sent/due: frames sent over those due at 30 a second; shown/rx:\n"
      "  frames drawn into the windows over frames received, in the window\n"
      "conn ms: connecting all; disc ms: disconnecting all while streaming;\n"
      "  idle cpu: connected, no stream; camsim: all camsims' CPU; machine:\n"
      "  share of all cores busy, whoever used them\n\n");
  PrintTable(rows);
  return 0;
}
