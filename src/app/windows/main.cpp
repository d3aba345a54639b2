// Process start-up on Windows: the exe's entry point.
#include "app/uninstall_service.h"
#include "platform/win32.h"

namespace {

// Nothing may ever load a DLL from the exe's folder or the current directory. The static imports
// are all known system DLLs, loaded before main; this covers whatever loads later. The call is
// looked up, not imported, so that the exe still starts on systems that lack it (Vista, 7 without
// its update); there the current directory at least leaves the search order.
void restrict_dll_search() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const FARPROC found =
      kernel32 == nullptr ? nullptr : GetProcAddress(kernel32, "SetDefaultDllDirectories");
  if (found != nullptr) {
    const auto set_default_dll_directories =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
    (void)set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    (void)SetDllDirectoryW(L"");
  }
}

}  // namespace

// The command line is not looked at.
int main() {
  restrict_dll_search();
  return tembra::entry_point();
}
