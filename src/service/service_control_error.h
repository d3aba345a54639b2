// The errors of the service-control layer, and why a raw platform value did not decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "base/error_object.h"
#include "base/os_error.h"

namespace tembra {

class [[nodiscard]] RawValueError final : public ErrorObject {
 public:
  struct InvalidInteger {
    std::uint32_t value;
  };
  struct InvalidIntegerSigned {
    std::int32_t value;
  };
  struct InvalidGuid {
    std::string text;
  };
  using Kind = std::variant<InvalidInteger, InvalidIntegerSigned, InvalidGuid>;

  explicit RawValueError(Kind kind) : kind_(std::move(kind)) {}
  const Kind& kind() const { return kind_; }

  [[nodiscard]] SinkResult write_display(TextSink& sink) const override;
  const ErrorObject* cause() const override { return nullptr; }
  [[nodiscard]] SinkResult write_debug(TextSink& sink, bool alternate) const override;

 private:
  Kind kind_;
};

class [[nodiscard]] ServiceControlError final : public ErrorObject {
 public:
  // Labels are compile-time texts that name the value or argument concerned.
  struct LaunchArgumentsNotSupported {};
  struct ParseValue {
    std::string_view label;
    RawValueError raw_value;
  };
  struct ArgumentHasNulByte {
    std::string_view label;
  };
  struct ArgumentArrayElementHasNulByte {
    std::string_view label;
    std::size_t index;
  };
  struct Winapi {
    OsError os_error;
  };
  using Kind = std::variant<LaunchArgumentsNotSupported, ParseValue, ArgumentHasNulByte,
                            ArgumentArrayElementHasNulByte, Winapi>;

  explicit ServiceControlError(Kind kind) : kind_(std::move(kind)) {}
  // The Winapi error of the call that just failed: reads the thread's last error at once.
  static ServiceControlError last_winapi_error();

  const Kind& kind() const { return kind_; }

  [[nodiscard]] SinkResult write_display(TextSink& sink) const override;
  const ErrorObject* cause() const override;
  [[nodiscard]] SinkResult write_debug(TextSink& sink, bool alternate) const override;

 private:
  Kind kind_;
};

}  // namespace tembra
