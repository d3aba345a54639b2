// The fail-fast ending on Windows.
#include "platform/win32.h"

void raise_fast_fail(UINT code) {
  // The __fastfail intrinsic: interrupt 0x29 with the code in ECX. It does not return.
  __asm__ volatile("int $0x29" : : "c"(code) : "memory");
  __builtin_unreachable();
}
