// The status of one service, decoded from the platform's status record.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>

#include "base/duration.h"
#include "platform/win32.h"
#include "service/service_control_error.h"

namespace tembra {

enum class ServiceState : DWORD {
  Stopped = SERVICE_STOPPED,
  StartPending = SERVICE_START_PENDING,
  StopPending = SERVICE_STOP_PENDING,
  Running = SERVICE_RUNNING,
  ContinuePending = SERVICE_CONTINUE_PENDING,
  PausePending = SERVICE_PAUSE_PENDING,
  Paused = SERVICE_PAUSED,
};

// How the service last stopped: a system code, or one of the service's own.
struct ServiceExitCode {
  enum class Kind { Win32, ServiceSpecific };
  Kind kind;
  std::uint32_t code;

  friend bool operator==(const ServiceExitCode&, const ServiceExitCode&) = default;
};

struct ServiceStatusRecord {
  std::uint32_t service_type;  // only the bits of 0x173
  ServiceState current_state;
  std::uint32_t controls_accepted;  // only the bits of 0x7FF
  ServiceExitCode exit_code;
  std::uint32_t checkpoint;
  Duration wait_hint;
  // Only a queried record has one. A process id of 0 means no process (a stopped service),
  // so it is absent too.
  std::optional<std::uint32_t> process_id;
};

// A state outside 1 to 7 is the "service status" ParseValue error; nothing else fails.
[[nodiscard]] std::expected<ServiceStatusRecord, ServiceControlError> decode_service_status(
    const SERVICE_STATUS& raw);
[[nodiscard]] std::expected<ServiceStatusRecord, ServiceControlError> decode_service_status(
    const SERVICE_STATUS_PROCESS& raw);

}  // namespace tembra
