// Frames on Windows: recorded with the kernel's own stack walk, described by the module that
// holds them. The program ships without symbols, so a module and an offset is all there is.
#include "platform/stack_frames.h"

#include <algorithm>
#include <array>

#include "platform/win32.h"

namespace {

// Older systems refuse a walk of 63 frames or more, skipped ones included.
constexpr std::size_t kMostFramesPerWalk = 62;
constexpr std::size_t kFramesOfThisFunction = 1;

}  // namespace

std::size_t capture_frames(void** frames, std::size_t capacity) {
  const auto wanted =
      static_cast<DWORD>(std::min(capacity, kMostFramesPerWalk - kFramesOfThisFunction));
  std::size_t count =
      RtlCaptureStackBackTrace(static_cast<DWORD>(kFramesOfThisFunction), wanted, frames, nullptr);
  // The walk may end on a zero return address, which is no frame.
  while (count != 0 && frames[count - 1] == nullptr) {
    --count;
  }
  return count;
}

FrameLocation describe_frame(const void* address) {
  FrameLocation location;
  // A null name would stand for the program's own module.
  if (address == nullptr) {
    return location;
  }
  HMODULE module = nullptr;
  // The address names the module; its reference count stays as it is, nothing is loaded.
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module)) {
    return location;
  }
  location.module_offset =
      reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module);
  std::array<WCHAR, MAX_PATH>& path = location.module_path;
  const DWORD length = GetModuleFileNameW(module, path.data(), path.size());
  if (length == 0 || length >= path.size()) {
    return location;
  }
  location.module_path_length = length;
  return location;
}
