// Matchers for results (std::expected), after Abseil's status matchers (those for the errors of
// the rooms above base are in console_matchers.h and service_matchers.h):
//
//     EXPECT_THAT(write_whole(StdStream::Out, "a"), Succeeds());
//     EXPECT_THAT(write_std_handle(StdStream::Out, "ab"), SucceedsWith(2u));
//     EXPECT_THAT(handle.query_status(), FailsWithOsError(ERROR_ACCESS_DENIED));
//     EXPECT_THAT(buffer.flush(), FailsWithText(HasSubstr("buffered")));
//     EXPECT_THAT(utf16_to_utf8(units), FailsWith<InvalidUtf16>());
//
// A result shows in a message as what it holds: its value, or its error's display text.
#pragma once

#include <gmock/gmock.h>

#include <cstdint>
#include <expected>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "base/os_error.h"
#include "base/utf.h"
#include "support/error_text.h"

namespace tembra {
namespace result_matchers {

// The names of the errors that carry nothing but their kind.
template <class Error>
constexpr const char* kErrorName = nullptr;
template <>
inline constexpr const char* kErrorName<InvalidUtf16> = "InvalidUtf16";
template <>
inline constexpr const char* kErrorName<SinkFailed> = "SinkFailed";

// A failed result's error as the messages show it: its display text, or the name of its kind.
template <class Error>
std::string error_text(const Error& error) {
  if constexpr (std::is_base_of_v<ErrorObject, Error>) {
    return "\"" + display_text(error) + "\"";
  } else {
    return kErrorName<Error>;
  }
}

// A failed result whose error `check(error, listener)` accepts; `check` may say why not.
template <class Check>
class FailsMatcher {
 public:
  FailsMatcher(std::string expected, Check check)
      : expected_(std::move(expected)), check_(std::move(check)) {}

  template <class Result>
  bool MatchAndExplain(const Result& result, ::testing::MatchResultListener* listener) const {
    return !result.has_value() && check_(result.error(), *listener);
  }
  void DescribeTo(std::ostream* os) const { *os << "fails with " << expected_; }
  void DescribeNegationTo(std::ostream* os) const { *os << "does not fail with " << expected_; }

 private:
  std::string expected_;
  Check check_;
};

template <class Check>
auto fails(std::string expected, Check check) {
  return ::testing::MakePolymorphicMatcher(FailsMatcher<Check>(std::move(expected), check));
}

template <class T>
std::string description(const ::testing::Matcher<T>& matcher) {
  std::ostringstream text;
  matcher.DescribeTo(&text);
  return text.str();
}

}  // namespace result_matchers

MATCHER(Succeeds, negation ? "fails" : "succeeds") {
  return arg.has_value();
}

// The result holds a value that `inner` (a matcher or a value to equal) matches, as an optional.
template <class Inner>
auto SucceedsWith(Inner inner) {
  return ::testing::Optional(std::move(inner));
}

// The error's display text matches: a text to equal, or a string matcher.
inline auto FailsWithText(const ::testing::Matcher<const std::string&>& text) {
  return result_matchers::fails("a display text that " + result_matchers::description(text),
                                [text](const ErrorObject& error, ::testing::MatchResultListener&) {
                                  return text.Matches(display_text(error));
                                });
}

// The error carries a platform code that matches: any error for which os_error_of(error) gives the
// platform's code, or null when it has none (console_matchers.h, service_matchers.h).
inline auto FailsWithOsError(const ::testing::Matcher<std::int32_t>& code) {
  return result_matchers::fails(
      "an os error that " + result_matchers::description(code),
      [code](const auto& error, ::testing::MatchResultListener& listener) {
        const OsError* os = os_error_of(error);
        if (os == nullptr) {
          listener << "whose error has no os error";
          return false;
        }
        return code.Matches(os->code());
      });
}

// A failure of a kind that carries nothing more, named for the reader: FailsWith<InteriorNul>().
template <class Error>
auto FailsWith() {
  static_assert(result_matchers::kErrorName<Error> != nullptr, "name the error kind above");
  return result_matchers::fails(result_matchers::kErrorName<Error>,
                                [](const Error&, ::testing::MatchResultListener&) { return true; });
}

// How a result shows in a message: "success", "success with 3", "failure with \"<display
// text>\"" or "failure with InvalidUtf16". Found through the error type, which is the program's.
template <class Value, class Error>
void PrintTo(const std::expected<Value, Error>& result, std::ostream* os) {
  if (!result.has_value()) {
    *os << "failure with " << result_matchers::error_text(result.error());
  } else if constexpr (std::is_void_v<Value>) {
    *os << "success";
  } else {
    *os << "success with " << ::testing::PrintToString(*result);
  }
}

}  // namespace tembra
