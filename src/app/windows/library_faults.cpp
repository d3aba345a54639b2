// The product is built without exceptions, yet the static C++ runtime reports exhausted memory and
// broken size limits by throwing. Pulling in its throwing versions would link the whole unwinder,
// the exception classes and a demangler: most of the exe. These definitions take their place and
// turn each into the internal fault it is.
#include <bits/functexcept.h>

#include "console/fatal.h"

// operator new and delete are replaced in memory.cpp.

namespace std {

// Reached when a size exceeds what an allocator can ever provide.
void __throw_bad_alloc() {
  tembra::fatal_capacity_overflow();
}

void __throw_bad_array_new_length() {
  tembra::fatal_capacity_overflow();
}

void __throw_length_error(const char*) {
  tembra::fatal_capacity_overflow();
}

void __throw_out_of_range_fmt(const char*, ...) {
  tembra::fatal_internal_fault("index out of range");
}

}  // namespace std
