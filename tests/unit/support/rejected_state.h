// What the status tests read of a decoding that failed.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <variant>

#include "service/service_status.h"

namespace tembra {

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
