// Internal faults: not errors of the run, but the end of the process.
#pragma once

#include <cstddef>
#include <string_view>

namespace tembra {

// Writes the message and a line feed on standard error as far as it can, then ends the
// process with the platform's fail-fast request. No failure report follows.
[[noreturn]] void fatal_internal_fault(std::string_view message);

// "memory allocation of <bytes> bytes failed"
[[noreturn]] void fatal_allocation_failure(std::size_t bytes);

// A buffer would need more bytes than the platform's allocations allow.
[[noreturn]] void fatal_capacity_overflow();

}  // namespace tembra
