#include "service/service_handles.h"

#include <utility>

#include "service/wide_nul_string.h"

namespace tembra {

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

}  // namespace tembra
