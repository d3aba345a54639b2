// Frames on the host: unless a test scripts them, the test process's real stack, walked and
// described by the C library, so that reports written in tests carry real frames. Nothing here
// is logged.
#include "platform/stack_frames.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/sim/internal.h"

namespace sim {
namespace {

std::optional<std::vector<ScriptedFrame>>& scripted_stack() {
  static std::optional<std::vector<ScriptedFrame>> frames;
  return frames;
}

}  // namespace

void script_stack(std::vector<ScriptedFrame> frames) {
  scripted_stack() = std::move(frames);
}

namespace detail {

void reset_stack() {
  scripted_stack().reset();
}

}  // namespace detail
}  // namespace sim

namespace {

constexpr std::size_t kMostFrames = 128;

FrameLocation describe_real_frame(const void* address) {
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

}  // namespace

std::size_t capture_frames(void** frames, std::size_t capacity) {
  if (const auto& scripted = sim::scripted_stack()) {
    const std::size_t kept = std::min(scripted->size(), capacity);
    for (std::size_t i = 0; i < kept; ++i) {
      frames[i] = reinterpret_cast<void*>((*scripted)[i].address);
    }
    return kept;
  }
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
  if (const auto& scripted = sim::scripted_stack()) {
    for (const sim::ScriptedFrame& frame : *scripted) {
      if (frame.address == reinterpret_cast<std::uintptr_t>(address)) {
        return frame.location;
      }
    }
    return {};
  }
  return describe_real_frame(address);
}
