#include "app/uninstall_service.h"

#include <string_view>

#include "base/pause.h"
#include "console/print.h"
#include "platform/win32.h"
#include "service/service_handles.h"

namespace tembra {

namespace {

constexpr std::string_view kServiceName = "tembra_service";
constexpr DWORD kServiceAccess = DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS;
constexpr std::string_view kSuccessLine =
    "Service uninstalled successfully. Resource cleanup warnings can be ignored.\n";
// Time for the service to wind down after the stop request; its answer is not awaited.
constexpr Duration kPauseAfterStop{1, 0};

}  // namespace

std::expected<void, ErrorChain> uninstall_service() {
  // Each failure is wrapped while the handles are still open; returning then releases them,
  // the service's first (declared last), the manager's second.
  auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
  if (!manager) {
    return std::unexpected(ErrorChain::wrap(std::move(manager.error())));
  }
  auto service = manager->open_service(kServiceName, kServiceAccess);
  if (!service) {
    return std::unexpected(ErrorChain::wrap(std::move(service.error())));
  }
  auto status = service->query_status();
  if (!status) {
    return std::unexpected(ErrorChain::wrap(std::move(status.error())));
  }
  if (status->current_state != ServiceState::Stopped) {
    // A refused stop does not end the run: the deletion still marks the service.
    if (auto stopped = service->send_control(ServiceControlRequest(ServiceControlRequest::Stop{}));
        !stopped) {
      print_err(stopped.error(), "\n");
    }
    pause_for(kPauseAfterStop);
  }
  if (auto deleted = service->delete_service(); !deleted) {
    return std::unexpected(ErrorChain::wrap(std::move(deleted.error())));
  }
  print_out(kSuccessLine);
  return {};
}

int entry_point() {
  int status = 0;
  if (auto outcome = uninstall_service(); !outcome) {
    status = report_failure(std::move(outcome.error()));
  }
  finish_output();
  return status;
}

}  // namespace tembra
