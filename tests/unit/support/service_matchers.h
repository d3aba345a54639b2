// The result matchers (result_matchers.h) for service errors, and what the status tests read of a
// decoding that failed.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <variant>

#include "service/service_control_error.h"
#include "service/service_status.h"
#include "service/wide_nul_string.h"
#include "support/result_matchers.h"

namespace tembra {

template <>
inline constexpr const char* result_matchers::kErrorName<InteriorNul> = "InteriorNul";

// For FailsWithOsError: the code of the Winapi kind.
inline const OsError* os_error_of(const ServiceControlError& error) {
  const auto* winapi = std::get_if<ServiceControlError::Winapi>(&error.kind());
  return winapi == nullptr ? nullptr : &winapi->os_error;
}

// The raw state the "service status" error names, if decoding failed with it.
inline std::optional<std::uint32_t> rejected_state(
    const std::expected<ServiceStatusRecord, ServiceControlError>& decoded) {
  if (decoded) {
    return std::nullopt;
  }
  const auto* parse = std::get_if<ServiceControlError::ParseValue>(&decoded.error().kind());
  if (parse == nullptr || parse->label != "service status") {
    return std::nullopt;
  }
  const auto* raw = std::get_if<RawValueError::InvalidInteger>(&parse->raw_value.kind());
  return raw == nullptr ? std::nullopt : std::optional(raw->value);
}

}  // namespace tembra
