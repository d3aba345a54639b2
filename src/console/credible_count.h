// How much a write took, as the platform reports it.
#pragma once

#include <cstddef>

namespace tembra {

// A report of more than was offered cannot be true and says nothing about what went out: it
// counts as a write that took nothing, which each writer already answers as a failed write. So
// no count ever reaches past the end of what was offered.
[[nodiscard]] inline std::size_t credible_count(std::size_t reported, std::size_t offered) {
  return reported <= offered ? reported : 0;
}

}  // namespace tembra
