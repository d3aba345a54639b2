// Matchers for failed results: a std::expected that holds an error, judged by what the error
// carries, e.g. EXPECT_THAT(handle.query_status(), FailsWithOsError(ERROR_ACCESS_DENIED)).
#pragma once

#include <gmock/gmock.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <variant>

#include "console/write_error.h"
#include "service/service_control_error.h"
#include "support/error_text.h"

namespace failure_matchers {

// The platform's code behind an error, or null for an error that has none.
inline const OsError* os_error_of(const WriteError& error) {
  return error.os_error();
}
inline const OsError* os_error_of(const ServiceControlError& error) {
  const auto* winapi = std::get_if<ServiceControlError::Winapi>(&error.kind());
  return winapi == nullptr ? nullptr : &winapi->os_error;
}

// A failed result whose error `check(error, listener)` accepts; `check` says what it found.
template <class Check>
class Fails {
 public:
  Fails(std::string expected, Check check) : expected_(std::move(expected)), check_(check) {}

  template <class Result>
  bool MatchAndExplain(const Result& result, ::testing::MatchResultListener* listener) const {
    if (result.has_value()) {
      *listener << "which succeeded";
      return false;
    }
    return check_(result.error(), *listener);
  }
  void DescribeTo(std::ostream* os) const { *os << "fails with " << expected_; }
  void DescribeNegationTo(std::ostream* os) const { *os << "does not fail with " << expected_; }

 private:
  std::string expected_;
  Check check_;
};

template <class Check>
auto fails(std::string expected, Check check) {
  return ::testing::MakePolymorphicMatcher(Fails<Check>(std::move(expected), check));
}

}  // namespace failure_matchers

// The error carries this platform code: a write error from the platform, or a service error of
// the Winapi kind.
inline auto FailsWithOsError(std::int32_t code) {
  return failure_matchers::fails(
      "os error " + std::to_string(code),
      [code](const auto& error, ::testing::MatchResultListener& listener) {
        const OsError* os = failure_matchers::os_error_of(error);
        if (os == nullptr) {
          listener << "whose error has no os error: \"" << display_text(error) << "\"";
          return false;
        }
        listener << "with os error " << os->code();
        return os->code() == code;
      });
}

// A write error of this kind.
inline auto FailsWithKind(WriteErrorKind kind) {
  return failure_matchers::fails(
      "write error kind " + std::to_string(static_cast<int>(kind)),
      [kind](const WriteError& error, ::testing::MatchResultListener& listener) {
        // Only for the failure message: an error's text may take platform calls.
        if (listener.IsInterested()) {
          listener << "with kind " << static_cast<int>(error.kind()) << ", \""
                   << display_text(error) << "\"";
        }
        return error.kind() == kind;
      });
}

// The error's display text is exactly `text`.
inline auto FailsWithText(const std::string& text) {
  return failure_matchers::fails(
      "\"" + text + "\"",
      [text](const ErrorObject& error, ::testing::MatchResultListener& listener) {
        const std::string shown = display_text(error);
        listener << "with \"" << shown << "\"";
        return shown == text;
      });
}
