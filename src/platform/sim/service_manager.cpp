// The simulated service control manager: one table of installed services.
#include <cstring>
#include <unordered_map>

#include "platform/sim/internal.h"

namespace sim {
namespace {

struct OpenService {
  std::u16string name;
  DWORD access;
};

struct ServiceManager {
  std::vector<Service> services;
  std::unordered_map<const void*, OpenService> open_services;
  std::unordered_map<const void*, DWORD> managers;  // handle -> access
};

ServiceManager& manager() {
  static ServiceManager instance;
  return instance;
}

Service* lookup(std::u16string_view name) {
  for (auto& service : manager().services) {
    if (service.name == name) {
      return &service;
    }
  }
  return nullptr;
}

// The service behind an open service handle, or null with the platform's error in `error`.
Service* service_of(SC_HANDLE handle, DWORD needed_access, DWORD& error) {
  auto it = manager().open_services.find(handle);
  if (it == manager().open_services.end() || !detail::is_open(handle)) {
    error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  if ((it->second.access & needed_access) != needed_access) {
    error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  Service* service = lookup(it->second.name);
  if (service == nullptr) {
    error = ERROR_SERVICE_DOES_NOT_EXIST;
  }
  return service;
}

BOOL refuse(const std::string& call, DWORD code) {
  detail::set_last_error(code);
  detail::log_call(call + " = 0");
  return FALSE;
}

}  // namespace

void add_service(Service service) {
  manager().services.push_back(std::move(service));
}

const Service* find_service(std::u16string_view name) {
  return lookup(name);
}

namespace detail {

void reset_services() {
  manager() = ServiceManager{};
}

// A service marked for deletion goes away once it is stopped and no handle to it is open.
void on_handle_closed(const void* handle) {
  auto it = manager().open_services.find(handle);
  if (it == manager().open_services.end()) {
    return;
  }
  const std::u16string name = it->second.name;
  manager().open_services.erase(it);
  Service* service = lookup(name);
  if (service == nullptr || !service->marked_for_delete ||
      service->status.dwCurrentState != SERVICE_STOPPED) {
    return;
  }
  for (const auto& [other, open] : manager().open_services) {
    if (open.name == name) {
      return;
    }
  }
  std::erase_if(manager().services, [&](const Service& s) { return s.name == name; });
}

}  // namespace detail
}  // namespace sim

using sim::detail::hex;
using sim::detail::label;
using sim::detail::log_call;

SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
  const std::string call = "OpenSCManagerW(" + sim::detail::wide(lpMachineName) + ", " +
                           sim::detail::wide(lpDatabaseName) + ", " + hex(dwDesiredAccess) + ")";
  if (auto code = sim::detail::take_failure("OpenSCManagerW")) {
    sim::detail::set_last_error(*code);
    log_call(call + " = null");
    return nullptr;
  }
  auto handle = static_cast<SC_HANDLE>(sim::detail::new_handle("scm"));
  sim::manager().managers[handle] = dwDesiredAccess;
  log_call(call + " = " + label(handle));
  return handle;
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
  std::string call = "OpenServiceW(" + label(hSCManager) + ", " + sim::detail::wide(lpServiceName) +
                     ", " + hex(dwDesiredAccess) + ")";
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    log_call(call + " = null");
    return nullptr;
  };
  if (auto code = sim::detail::take_failure("OpenServiceW")) {
    return fail(*code);
  }
  if (!sim::manager().managers.contains(hSCManager) || !sim::detail::is_open(hSCManager)) {
    return fail(ERROR_INVALID_HANDLE);
  }
  if (lpServiceName == nullptr) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  std::u16string name(lpServiceName);
  if (sim::lookup(name) == nullptr) {
    return fail(ERROR_SERVICE_DOES_NOT_EXIST);
  }
  auto handle = static_cast<SC_HANDLE>(sim::detail::new_handle("svc"));
  sim::manager().open_services[handle] = {std::move(name), dwDesiredAccess};
  log_call(call + " = " + label(handle));
  return handle;
}

BOOL DeleteService(SC_HANDLE hService) {
  const std::string call = "DeleteService(" + label(hService) + ")";
  if (auto code = sim::detail::take_failure("DeleteService")) {
    return sim::refuse(call, *code);
  }
  DWORD error = 0;
  sim::Service* service = sim::service_of(hService, DELETE, error);
  if (service == nullptr) {
    return sim::refuse(call, error);
  }
  if (service->marked_for_delete) {
    return sim::refuse(call, ERROR_SERVICE_MARKED_FOR_DELETE);
  }
  service->marked_for_delete = true;
  log_call(call + " = 1");
  return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
  const std::string call = "CloseServiceHandle(" + label(hSCObject) + ")";
  const bool known = sim::detail::close_handle(hSCObject);
  if (auto code = sim::detail::take_failure("CloseServiceHandle")) {
    return sim::refuse(call, *code);
  }
  if (!known) {
    return sim::refuse(call, ERROR_INVALID_HANDLE);
  }
  sim::detail::leave_last_error_behind();
  log_call(call + " = 1");
  return TRUE;
}

BOOL QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer,
                          DWORD cbBufSize, LPDWORD pcbBytesNeeded) {
  const std::string call = "QueryServiceStatusEx(" + label(hService) + ", " +
                           std::to_string(static_cast<int>(InfoLevel)) + ", " +
                           sim::detail::ptr(lpBuffer) + ", " + std::to_string(cbBufSize) + ", " +
                           sim::detail::ptr(pcbBytesNeeded) + ")";
  if (auto code = sim::detail::take_failure("QueryServiceStatusEx")) {
    return sim::refuse(call, *code);
  }
  if (InfoLevel != SC_STATUS_PROCESS_INFO || pcbBytesNeeded == nullptr) {
    return sim::refuse(call, ERROR_INVALID_PARAMETER);
  }
  if (cbBufSize < sizeof(SERVICE_STATUS_PROCESS)) {
    *pcbBytesNeeded = sizeof(SERVICE_STATUS_PROCESS);
    return sim::refuse(call, ERROR_INSUFFICIENT_BUFFER);
  }
  DWORD error = 0;
  const sim::Service* service = sim::service_of(hService, SERVICE_QUERY_STATUS, error);
  if (service == nullptr) {
    return sim::refuse(call, error);
  }
  std::memcpy(lpBuffer, &service->status, sizeof service->status);
  log_call(call + " = 1");
  return TRUE;
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  const std::string call = "ControlService(" + label(hService) + ", " + std::to_string(dwControl) +
                           ", " + sim::detail::ptr(lpServiceStatus) + ")";
  if (auto code = sim::detail::take_failure("ControlService")) {
    return sim::refuse(call, *code);
  }
  DWORD error = 0;
  sim::Service* service =
      sim::service_of(hService, dwControl == SERVICE_CONTROL_STOP ? SERVICE_STOP : 0, error);
  if (service == nullptr) {
    return sim::refuse(call, error);
  }
  SERVICE_STATUS_PROCESS& status = service->status;
  switch (service->control_answer) {
    case sim::ControlAnswer::Refuse:
      return sim::refuse(call, service->refusal_code);
    case sim::ControlAnswer::ReplyBadState:
      std::memcpy(lpServiceStatus, &status, sizeof(SERVICE_STATUS));
      lpServiceStatus->dwCurrentState = service->reply_state;
      break;
    case sim::ControlAnswer::Accept:
      if (status.dwCurrentState == SERVICE_STOPPED) {
        return sim::refuse(call, ERROR_SERVICE_NOT_ACTIVE);
      }
      if (dwControl == SERVICE_CONTROL_STOP) {
        // The reply says the stop is under way; the simulated service then stops at once.
        status.dwCurrentState = SERVICE_STOP_PENDING;
        std::memcpy(lpServiceStatus, &status, sizeof(SERVICE_STATUS));
        status.dwCurrentState = SERVICE_STOPPED;
        status.dwProcessId = 0;
      } else {
        std::memcpy(lpServiceStatus, &status, sizeof(SERVICE_STATUS));
      }
      break;
  }
  log_call(call + " = 1");
  return TRUE;
}
