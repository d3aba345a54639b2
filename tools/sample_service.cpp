// A minimal Windows service for the end-to-end tests: "tembra_service" stand-in.
//
//   sample-service.exe stop     reports RUNNING, accepts a stop request and stops
//   sample-service.exe nostop   reports RUNNING and accepts no control at all
#include <windows.h>

#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE stop_event = nullptr;
bool accepts_stop = true;

void report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = (accepts_stop && state == SERVICE_RUNNING) ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  SetServiceStatus(status_handle, &status);
}

// A stop only wakes service_main, which reports the states. Under load, Wine's service manager
// twice got no answer to a stop whose handler reported STOP_PENDING itself: the stop request
// failed after ServicesPipeTimeout and the service stayed STOP_PENDING.
DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID) {
  if (control == SERVICE_CONTROL_STOP && accepts_stop) {
    SetEvent(stop_event);
    return NO_ERROR;
  }
  if (control == SERVICE_CONTROL_INTERROGATE) {
    return NO_ERROR;
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI service_main(DWORD argc, LPWSTR* argv) {
  (void)argc;
  (void)argv;
  status_handle = RegisterServiceCtrlHandlerExW(L"tembra_service", handler, nullptr);
  if (status_handle == nullptr) {
    return;
  }
  stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  report(SERVICE_RUNNING);
  WaitForSingleObject(stop_event, INFINITE);
  report(SERVICE_STOP_PENDING);
  report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  accepts_stop = !(argc > 1 && std::wcscmp(argv[1], L"nostop") == 0);
  wchar_t name[] = L"tembra_service";
  SERVICE_TABLE_ENTRYW table[] = {{name, service_main}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
