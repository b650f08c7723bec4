// camsim: a simulated camera serving one loopback address until
// interrupted.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "arguments.h"
#include "camera_server.h"
#include "flash_file.h"
#include "options.h"
#include "platform/clock.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

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
  // Refused now rather than at the first write, which a client would see
  // succeed while the file stays behind.
  if (!camsim::CanSaveFlashFile(path)) {
    std::fprintf(stderr, "camsim: cannot write the flash file %s: %s\n",
                 path.c_str(), std::strerror(errno));
    return false;
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
  if (tools::WantsHelp(argc, argv)) {
    camsim::PrintUsage();
    return 0;
  }
  camsim::Options options;
  if (auto refused = camsim::ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "camsim: %s\n", refused->c_str());
    return tools::kUsageStatus;
  }
  if (!quorvel::platform::InitSocketLayer()) {
    std::fprintf(stderr, "camsim: the socket layer did not start\n");
    return 1;
  }
  const std::string& address = options.address;
  auto model = std::make_shared<camsim::CameraModel>();
  model->SetInternalSps(options.sps);
  model->SetMaskMode(options.maskMode);
  std::uint32_t ipv4 = 0;
  // The first octet is the first byte in memory: the address is held in
  // network byte order.
  if (!quorvel::platform::ParseIPv4(address.c_str(), &ipv4) ||
      reinterpret_cast<const std::uint8_t*>(&ipv4)[0] != 127u) {
    std::fprintf(stderr, "camsim: %s is not a loopback address\n",
                 address.c_str());
    return tools::kUsageStatus;
  }
  if (!options.flashPath.empty() && !KeepFlashIn(options.flashPath, *model)) {
    return tools::kUsageStatus;
  }
  camsim::CameraServer server(address, model);
  if (!server.Start()) {
    std::fprintf(stderr, "camsim: cannot serve %s on ports 3001 and 3002\n",
                 address.c_str());
    return 1;
  }
  server.SetFrameRate(options.fps);
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
