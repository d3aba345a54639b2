// Prints the system message-table text for an error code, exactly as the platform gives it
// (UTF-8, trailing line break included), so end-to-end tests compare reports with the
// platform's own wording rather than with texts copied from documentation.
//
//   message-text.exe CODE
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 || *argv[1] == L'\0') {
    return 2;
  }
  wchar_t* end = nullptr;
  const unsigned long code = std::wcstoul(argv[1], &end, 0);
  if (*end != L'\0') {
    return 2;
  }
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0) {
    return 1;
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), bytes.data(), size, nullptr,
                      nullptr);
  LocalFree(text);
  DWORD written = 0;
  const BOOL ok = WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(),
                            static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok && written == bytes.size() ? 0 : 1;
}
