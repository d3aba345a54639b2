// A failed platform call, remembered by the error code the platform gave for it.
#pragma once

#include <cstdint>
#include <string>

#include "base/error_object.h"

namespace tembra {

class [[nodiscard]] OsError final : public ErrorObject {
 public:
  explicit OsError(std::int32_t code) : code_(code) {}
  // The calling thread's last error. Call it right after the failing call, before any other.
  static OsError last();

  std::int32_t code() const { return code_; }

  // The system's message for the code, then " (os error <code>)".
  [[nodiscard]] SinkResult write_display(TextSink& sink) const override;
  const ErrorObject* cause() const override { return nullptr; }
  // Os { code: 5, message: "Access is denied." }
  [[nodiscard]] SinkResult write_debug(TextSink& sink, bool alternate) const override;

 private:
  std::int32_t code_;
};

// The system message table's text for a code, without its trailing white space; never fails
// (a failed lookup gives a text that says why).
std::string os_error_message(std::int32_t code);

}  // namespace tembra
