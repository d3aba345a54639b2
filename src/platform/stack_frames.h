// The calling thread's stack as return addresses, and where such an address lies. Recording
// is cheap and happens at the failing step; describing is slow and happens only when a report
// is written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32.h"

// Records at most `capacity` return addresses of the calling thread, innermost first, leaving
// out this function's own frame. The count recorded; 0 when the stack cannot be walked.
[[nodiscard]] std::size_t capture_frames(void** frames, std::size_t capacity);

// Where a recorded address lies. Empty texts stand for what could not be found.
struct FrameLocation {
  std::string symbol;  // the function's name
  std::uintptr_t symbol_offset = 0;
  // The full path of the executable or library as the platform names it (UTF-16): the first
  // module_path_length units.
  std::array<WCHAR, MAX_PATH> module_path{};
  std::size_t module_path_length = 0;
  std::uintptr_t module_offset = 0;
};

[[nodiscard]] FrameLocation describe_frame(const void* address);
