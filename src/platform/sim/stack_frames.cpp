// Frames on the host: the test process's real stack, walked and described by the C library,
// so that reports written in tests carry real frames. Nothing here is simulated or logged.
#include "platform/stack_frames.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/sim/internal.h"

namespace {

constexpr std::size_t kMostFrames = 128;

}  // namespace

std::size_t capture_frames(void** frames, std::size_t capacity) {
  std::array<void*, kMostFrames + 1> walked{};
  const int count = backtrace(walked.data(), static_cast<int>(walked.size()));
  if (count <= 1) {
    return 0;
  }
  // The first frame is this function's own.
  const std::size_t kept = std::min({static_cast<std::size_t>(count - 1), capacity, kMostFrames});
  std::copy_n(walked.begin() + 1, kept, frames);
  return kept;
}

FrameLocation describe_frame(const void* address) {
  FrameLocation location;
  Dl_info info{};
  if (dladdr(address, &info) == 0) {
    return location;
  }
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  if (info.dli_sname != nullptr && info.dli_saddr != nullptr) {
    location.symbol = info.dli_sname;
    location.symbol_offset = at - reinterpret_cast<std::uintptr_t>(info.dli_saddr);
  }
  if (info.dli_fname != nullptr && info.dli_fbase != nullptr) {
    // A path that is not UTF-8, or too long, stays unnamed, as on the platform.
    const std::u16string path = sim::detail::utf16(info.dli_fname).value_or(std::u16string());
    if (path.size() < location.module_path.size()) {
      location.module_path_length = path.copy(location.module_path.data(), path.size());
    }
    location.module_offset = at - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  }
  return location;
}
