// camsim: a simulated camera serving one loopback address until
// interrupted.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "camera_server.h"
#include "flash_file.h"
#include "platform/clock.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

void PrintUsage() {
  std::printf(
      "usage: camsim [--address A] [--sps N] [--fps N] [--mode image|mask]\n"
      "              [--flash FILE]\n"
      "  --address A  loopback address to serve (default 127.0.0.1)\n"
      "  --sps N      value the camera reports for its internal SPS "
      "(default 40)\n"
      "  --fps N      frames a second while streaming; 0 as fast as "
      "possible (default 30)\n"
      "  --mode M     stream pictures (image, default) or motion masks "
      "(mask)\n"
      "  --flash FILE keep the flash areas in FILE: loaded at start when it\n"
      "               exists, saved after every accepted flash write\n");
}

// Loads the flash from path, if it exists, and saves it back after every
// write the camera accepts. Saves are serialised so the file always ends up
// with the newest image even when two connections write at once.
bool KeepFlashIn(const std::string& path, camsim::CameraModel& model) {
  camsim::FlashImage image;
  switch (camsim::LoadFlashFile(path, &image)) {
    case camsim::FlashLoad::kInvalid:
      std::fprintf(stderr, "camsim: %s is not a flash image\n", path.c_str());
      return false;
    case camsim::FlashLoad::kLoaded:
      if (!model.ImportFlash(std::move(image))) {
        std::fprintf(stderr, "camsim: %s does not fit this camera\n",
                     path.c_str());
        return false;
      }
      break;
    case camsim::FlashLoad::kMissing:
      break;
  }
  auto saveLock = std::make_shared<std::mutex>();
  model.SetFlashWriteHook([path, saveLock, &model] {
    std::lock_guard<std::mutex> lock(*saveLock);
    if (!camsim::SaveFlashFile(path, model.ExportFlash())) {
      std::fprintf(stderr, "camsim: cannot save flash to %s\n", path.c_str());
    }
  });
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1";
  auto model = std::make_shared<camsim::CameraModel>();
  double fps = 30.0;
  std::string flashPath;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--address" && hasValue) {
      address = argv[++i];
    } else if (option == "--sps" && hasValue) {
      model->SetInternalSps(static_cast<std::uint16_t>(std::stoi(argv[++i])));
    } else if (option == "--fps" && hasValue) {
      fps = std::stod(argv[++i]);
    } else if (option == "--mode" && hasValue) {
      const std::string mode = argv[++i];
      if (mode != "image" && mode != "mask") {
        std::fprintf(stderr, "camsim: --mode takes image or mask\n");
        return 2;
      }
      // The same switch a client uses: item 205 on streams masks.
      model->Handle(mode == "mask" ? 65570 : 65571, {});
      model->ClearLog();
    } else if (option == "--flash" && hasValue) {
      flashPath = argv[++i];
    } else if (option == "--help" || option == "-h") {
      PrintUsage();
      return 0;
    } else {
      std::fprintf(stderr, "camsim: unknown option %s\n", option.c_str());
      PrintUsage();
      return 2;
    }
  }
  std::uint32_t ipv4 = 0;
  // The first octet is the first byte in memory: the address is held in
  // network byte order.
  if (!quorvel::platform::ParseIPv4(address.c_str(), &ipv4) ||
      reinterpret_cast<const std::uint8_t*>(&ipv4)[0] != 127u) {
    std::fprintf(stderr, "camsim: %s is not a loopback address\n",
                 address.c_str());
    return 2;
  }
  if (!flashPath.empty() && !KeepFlashIn(flashPath, *model)) return 2;
  camsim::CameraServer server(address, model);
  if (!server.Start()) {
    std::fprintf(stderr, "camsim: cannot serve %s on ports 3001 and 3002\n",
                 address.c_str());
    return 1;
  }
  server.SetFrameRate(fps);
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  std::printf("camsim: serving %s (commands on 3002, data on 3001)\n",
              address.c_str());
  std::fflush(stdout);
  while (stopRequested == 0) quorvel::platform::SleepMs(50);
  server.Stop();
  // Read by benchmarks, which compare it with the frames their client got.
  std::printf("frames sent: %llu\n",
              static_cast<unsigned long long>(server.framesSent()));
  return 0;
}
