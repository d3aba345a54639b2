// Process start-up on Windows: the exe's entry point.
#include "app/dll_search.h"
#include "app/uninstall_service.h"

// The command line is not looked at.
int main() {
  tembra::restrict_dll_search();
  return tembra::entry_point();
}
