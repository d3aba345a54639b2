// Owned handles to the service control manager and to one service.
#pragma once

#include <cstdint>
#include <expected>
#include <string_view>

#include "base/unique_handle.h"
#include "platform/win32.h"
#include "service/service_control_error.h"
#include "service/service_control_request.h"
#include "service/service_status.h"

namespace tembra {

class ServiceHandle;

// The manager's handles, to the manager itself and to a service alike.
struct ServiceControlHandleTraits {
  using Handle = SC_HANDLE;
  static void close(Handle handle) { (void)CloseServiceHandle(handle); }
};

// The sole owner of one non-null manager handle; moved, never copied; closes it exactly once.
class [[nodiscard]] ServiceManagerHandle {
 public:
  // The manager of the local machine, in its active database.
  [[nodiscard]] static std::expected<ServiceManagerHandle, ServiceControlError> connect(
      DWORD access);

  // The name is UTF-8; the manager handle is only borrowed.
  [[nodiscard]] std::expected<ServiceHandle, ServiceControlError> open_service(
      std::string_view name, DWORD access) const;

 private:
  explicit ServiceManagerHandle(SC_HANDLE handle) : handle_(handle) {}
  UniqueHandle<ServiceControlHandleTraits> handle_;
};

// The sole owner of one non-null service handle; moved, never copied; closes it exactly once.
// It keeps no link to the manager that opened it: the caller releases it first.
class [[nodiscard]] ServiceHandle {
 public:
  // Asks the manager to delete the service. The handle stays open until released.
  [[nodiscard]] std::expected<void, ServiceControlError> delete_service() const;

  // The service's status now, with the process that runs it. Needs SERVICE_QUERY_STATUS.
  [[nodiscard]] std::expected<ServiceStatusRecord, ServiceControlError> query_status() const;
  // Sends the request; the status that comes back with the reply (never with a process id).
  // A reply whose state does not decode fails, although the service took the request.
  [[nodiscard]] std::expected<ServiceStatusRecord, ServiceControlError> send_control(
      const ServiceControlRequest& request) const;

  // Lent to the status and control operations, which neither close nor keep it.
  SC_HANDLE get() const { return handle_.get(); }

 private:
  friend class ServiceManagerHandle;
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  UniqueHandle<ServiceControlHandleTraits> handle_;
};

}  // namespace tembra
