#include "reference/motion_reference.h"

#include <algorithm>
#include <cstddef>

namespace quorvel::reference {

std::int32_t DecodeMotionMask(const std::uint8_t* code, std::int32_t codeBytes,
                              std::uint8_t* target, std::int32_t width,
                              std::int32_t height) {
  if (code == nullptr || codeBytes < 0) return 0;
  if (target == nullptr || width < 1 || height < 1) return codeBytes;
  const std::size_t total =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::size_t position = 0;
  for (std::int32_t i = 0; i < codeBytes; ++i) {
    std::size_t run = (code[i] >> 1) + 1u;
    const std::uint8_t value = (code[i] & 1) != 0 ? 0xFF : 0x00;
    if (position + run > total) run = total - position;
    for (std::size_t k = 0; k < run; ++k) target[position + k] = value;
    position += run;
  }
  return codeBytes;
}

void LabelMovingObjects(LabelWork& work, std::uint8_t* mask,
                        std::int32_t* labels, std::int32_t width,
                        std::int32_t height, std::int32_t minObjectSize,
                        std::vector<ObjectReport>& objects,
                        const std::function<void(std::uint8_t*)>& alarm) {
  if (mask == nullptr || labels == nullptr || width < 1 || height < 1) return;
  const std::size_t total =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  work.visited.assign(total, 0);
  std::fill(labels, labels + total, 0);
  bool alarmRaised = false;
  std::int32_t label = 0;
  auto& queue = work.queue;

  for (std::size_t seed = 0; seed < total; ++seed) {
    if (work.visited[seed] != 0) continue;
    work.visited[seed] = 1;
    if (mask[seed] != 0xFF) continue;

    ++label;
    std::int32_t count = 0;
    double sumX = 0.0, sumY = 0.0;
    std::int32_t minX = width, minY = height, maxX = 0, maxY = 0;
    queue.clear();
    queue.emplace_back(static_cast<std::uint16_t>(seed % width),
                       static_cast<std::uint16_t>(seed / width));
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const std::int32_t x = queue[head].first;
      const std::int32_t y = queue[head].second;
      ++count;
      if (count >= minObjectSize && !alarmRaised) {
        alarmRaised = true;
        if (alarm) alarm(mask);
      }
      sumX += x;
      sumY += y;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
      labels[static_cast<std::size_t>(y) * width + x] = label;
      for (std::int32_t dy = -1; dy <= 1; ++dy) {
        for (std::int32_t dx = -1; dx <= 1; ++dx) {
          const std::int32_t nx = x + dx, ny = y + dy;
          if ((dx == 0 && dy == 0) || nx < 0 || nx >= width || ny < 0 ||
              ny >= height) {
            continue;
          }
          const std::size_t at = static_cast<std::size_t>(ny) * width + nx;
          if (work.visited[at] != 0) continue;
          work.visited[at] = 1;
          if (mask[at] == 0xFF) {
            queue.emplace_back(static_cast<std::uint16_t>(nx),
                               static_cast<std::uint16_t>(ny));
          }
        }
      }
    }

    if (count >= minObjectSize) {
      objects.push_back(ObjectReport{label, count, sumX / count, sumY / count,
                                     minX, minY, maxX, maxY});
    } else {
      for (std::int32_t y = minY; y <= maxY; ++y) {
        for (std::int32_t x = minX; x <= maxX; ++x) {
          const std::size_t at = static_cast<std::size_t>(y) * width + x;
          if (labels[at] == label) {
            labels[at] = 0;
            mask[at] = 0x00;
          }
        }
      }
      --label;
    }
  }
}

}  // namespace quorvel::reference
