#include "service/service_handles.h"

#include <utility>

#include "service/wide_nul_string.h"

namespace tembra {

namespace {

// The answer to a close is of no use: there is nothing left to do with the handle.
void close_service_handle(SC_HANDLE handle) {
  if (handle != nullptr) {
    (void)CloseServiceHandle(handle);
  }
}

}  // namespace

std::expected<ServiceManagerHandle, ServiceControlError> ServiceManagerHandle::connect(
    DWORD access) {
  SC_HANDLE handle = OpenSCManagerW(nullptr, nullptr, access);
  if (handle == nullptr) {
    return std::unexpected(ServiceControlError::last_winapi_error());
  }
  return ServiceManagerHandle(handle);
}

ServiceManagerHandle::ServiceManagerHandle(ServiceManagerHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

ServiceManagerHandle& ServiceManagerHandle::operator=(ServiceManagerHandle&& other) noexcept {
  if (this != &other) {
    close_service_handle(std::exchange(handle_, std::exchange(other.handle_, nullptr)));
  }
  return *this;
}

ServiceManagerHandle::~ServiceManagerHandle() {
  close_service_handle(handle_);
}

std::expected<ServiceHandle, ServiceControlError> ServiceManagerHandle::open_service(
    std::string_view name, DWORD access) const {
  auto wide_name = WideNulString::from_utf8(name);
  if (!wide_name) {
    return std::unexpected(
        ServiceControlError(ServiceControlError::ArgumentHasNulByte{"service name"}));
  }
  SC_HANDLE handle = OpenServiceW(handle_, wide_name->c_str(), access);
  if (handle == nullptr) {
    // Read before the name is released: freeing memory may change the last error.
    ServiceControlError error = ServiceControlError::last_winapi_error();
    return std::unexpected(std::move(error));
  }
  return ServiceHandle(handle);
}

ServiceHandle::ServiceHandle(ServiceHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

ServiceHandle& ServiceHandle::operator=(ServiceHandle&& other) noexcept {
  if (this != &other) {
    close_service_handle(std::exchange(handle_, std::exchange(other.handle_, nullptr)));
  }
  return *this;
}

ServiceHandle::~ServiceHandle() {
  close_service_handle(handle_);
}

std::expected<void, ServiceControlError> ServiceHandle::delete_service() const {
  if (DeleteService(handle_) == FALSE) {
    return std::unexpected(ServiceControlError::last_winapi_error());
  }
  return {};
}

}  // namespace tembra
