// A failed property in a fuzz target: abort, so that libFuzzer reports the input that broke it.
#pragma once

#include <cstdlib>

inline void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}
