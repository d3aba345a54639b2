// Process start-up and the fail-fast ending on Windows.
#include "main.h"
#include "platform/win32.h"

void raise_fast_fail(UINT code) {
  // The __fastfail intrinsic: interrupt 0x29 with the code in ECX. It does not return.
  __asm__ volatile("int $0x29" : : "c"(code) : "memory");
  __builtin_unreachable();
}

// The command line is not looked at.
int main() {
  return entry_point();
}
