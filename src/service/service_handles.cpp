#include "service/service_handles.h"

#include <utility>

#include "service/wide_nul_string.h"

namespace tembra {

static_assert(sizeof(SERVICE_STATUS_PROCESS) == 36);
static_assert(sizeof(SERVICE_STATUS) == 28);

std::expected<ServiceManagerHandle, ServiceControlError> ServiceManagerHandle::connect(
    DWORD access) {
  SC_HANDLE handle = OpenSCManagerW(nullptr, nullptr, access);
  if (handle == nullptr) {
    return std::unexpected(ServiceControlError::last_winapi_error());
  }
  return ServiceManagerHandle(handle);
}

std::expected<ServiceHandle, ServiceControlError> ServiceManagerHandle::open_service(
    std::string_view name, DWORD access) const {
  auto wide_name = WideNulString::from_utf8(name);
  if (!wide_name) {
    return std::unexpected(
        ServiceControlError(ServiceControlError::ArgumentHasNulByte{"service name"}));
  }
  SC_HANDLE handle = OpenServiceW(handle_.get(), wide_name->c_str(), access);
  if (handle == nullptr) {
    // Read before the name is released: freeing memory may change the last error.
    ServiceControlError error = ServiceControlError::last_winapi_error();
    return std::unexpected(std::move(error));
  }
  return ServiceHandle(handle);
}

std::expected<void, ServiceControlError> ServiceHandle::delete_service() const {
  if (DeleteService(handle_.get()) == FALSE) {
    return std::unexpected(ServiceControlError::last_winapi_error());
  }
  return {};
}

std::expected<ServiceStatusRecord, ServiceControlError> ServiceHandle::query_status() const {
  SERVICE_STATUS_PROCESS status{};
  DWORD bytes_needed = 0;  // only of use when the buffer is too small, which it never is
  if (QueryServiceStatusEx(get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                           sizeof status, &bytes_needed) == FALSE) {
    return std::unexpected(ServiceControlError::last_winapi_error());
  }
  return decode_service_status(status);
}

std::expected<ServiceStatusRecord, ServiceControlError> ServiceHandle::send_control(
    const ServiceControlRequest& request) const {
  SERVICE_STATUS status{};
  if (ControlService(get(), request.control_code(), &status) == FALSE) {
    return std::unexpected(ServiceControlError::last_winapi_error());
  }
  return decode_service_status(status);
}

}  // namespace tembra
