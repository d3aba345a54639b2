// The status query and the control requests on an opened service.
#include "service/service_handles.h"

namespace tembra {

static_assert(sizeof(SERVICE_STATUS_PROCESS) == 36);
static_assert(sizeof(SERVICE_STATUS) == 28);

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
