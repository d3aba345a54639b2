#include "service/service_status.h"

namespace tembra {

namespace {

constexpr DWORD kServiceTypeMask = 0x173;
constexpr DWORD kControlsAcceptedMask = 0x7FF;
constexpr DWORD kStateCount = 7;

// Both platform records begin with the same seven fields.
template <class Raw>
[[nodiscard]] std::expected<ServiceStatusRecord, ServiceControlError> decode_common(
    const Raw& raw) {
  // The state is an enumeration: decoded strictly, and before anything else.
  if (raw.dwCurrentState - 1 >= kStateCount) {
    return std::unexpected(ServiceControlError(ServiceControlError::ParseValue{
        "service status", RawValueError(RawValueError::InvalidInteger{raw.dwCurrentState})}));
  }
  const ServiceExitCode exit_code =
      raw.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR
          ? ServiceExitCode{ServiceExitCode::Kind::ServiceSpecific, raw.dwServiceSpecificExitCode}
          : ServiceExitCode{ServiceExitCode::Kind::Win32, raw.dwWin32ExitCode};
  return ServiceStatusRecord{
      .service_type = raw.dwServiceType & kServiceTypeMask,
      .current_state = static_cast<ServiceState>(raw.dwCurrentState),
      .controls_accepted = raw.dwControlsAccepted & kControlsAcceptedMask,
      .exit_code = exit_code,
      .checkpoint = raw.dwCheckPoint,
      .wait_hint = Duration{raw.dwWaitHint / 1000, raw.dwWaitHint % 1000 * 1'000'000},
      .process_id = std::nullopt,
  };
}

}  // namespace

std::expected<ServiceStatusRecord, ServiceControlError> decode_service_status(
    const SERVICE_STATUS& raw) {
  return decode_common(raw);
}

std::expected<ServiceStatusRecord, ServiceControlError> decode_service_status(
    const SERVICE_STATUS_PROCESS& raw) {
  auto record = decode_common(raw);
  if (record && raw.dwProcessId != 0) {
    record->process_id = raw.dwProcessId;
  }
  return record;
}

}  // namespace tembra
