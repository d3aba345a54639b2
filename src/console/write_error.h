// Why a write to a standard stream failed.
#pragma once

#include <variant>

#include "base/error_object.h"
#include "base/os_error.h"

namespace tembra {

// The fixed failures that have no platform code behind them.
enum class WriteFailure {
  NonUtf8OnConsole,        // kind InvalidData
  WholeBufferNotWritten,   // kind WriteZero
  BufferedDataNotWritten,  // kind WriteZero
};

enum class WriteErrorKind { Os, InvalidData, WriteZero };

class [[nodiscard]] WriteError final : public ErrorObject {
 public:
  WriteError(OsError os_error) : error_(os_error) {}     // NOLINT(google-explicit-constructor)
  WriteError(WriteFailure failure) : error_(failure) {}  // NOLINT(google-explicit-constructor)

  WriteErrorKind kind() const;
  // The platform's code, for errors that have one.
  const OsError* os_error() const { return std::get_if<OsError>(&error_); }

  [[nodiscard]] SinkResult write_display(TextSink& sink) const override;
  const ErrorObject* cause() const override { return nullptr; }
  [[nodiscard]] SinkResult write_debug(TextSink& sink, bool alternate) const override;

 private:
  std::variant<OsError, WriteFailure> error_;
};

}  // namespace tembra
