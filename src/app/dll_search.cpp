#include "app/dll_search.h"

#include "base/ascii_wide.h"
#include "platform/win32.h"

namespace tembra {
namespace {

constexpr auto kKernel32Name = ascii_wide("kernel32.dll");
constexpr auto kNoFolder = ascii_wide("");

}  // namespace

// The call is looked up, not imported, so that the exe still starts on systems that lack it
// (Vista, 7 without its update); there the current directory at least leaves the search order.
void restrict_dll_search() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleW(kKernel32Name.data());
  const FARPROC found =
      kernel32 == nullptr ? nullptr : GetProcAddress(kernel32, "SetDefaultDllDirectories");
  if (found != nullptr) {
    const auto set_default_dll_directories =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
    (void)set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    (void)SetDllDirectoryW(kNoFolder.data());
  }
}

}  // namespace tembra
