// A span of time, shared by the pause and the services' wait hints.
#pragma once

#include <cstdint>

namespace tembra {

struct Duration {
  std::uint64_t seconds = 0;
  std::uint32_t nanos = 0;  // below one second

  friend bool operator==(const Duration&, const Duration&) = default;
};

}  // namespace tembra
