#include <gtest/gtest.h>

#include <string>

#include "service/service_control_error.h"
#include "support/error_text.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using Error = ServiceControlError;
using Raw = RawValueError;

Error parse_value(std::uint32_t state) {
  return Error(Error::ParseValue{"service status", Raw(Raw::InvalidInteger{state})});
}

using ServiceControlErrorText = SimTest;

TEST_F(ServiceControlErrorText, EachKindHasItsFixedDisplayText) {
  EXPECT_EQ(display_text(Error(Error::LaunchArgumentsNotSupported{})),
            "kernel drivers do not support launch arguments");
  EXPECT_EQ(display_text(parse_value(0)), "invalid service status value");
  EXPECT_EQ(display_text(Error(Error::ArgumentHasNulByte{"service name"})),
            "service name contains a nul byte");
  EXPECT_EQ(display_text(Error(Error::ArgumentArrayElementHasNulByte{"arguments", 3})),
            "arguments contains a nul byte in element at 3 index");
  // The code shows only in the cause.
  EXPECT_EQ(display_text(Error(Error::Winapi{OsError(5)})), "IO error in winapi call");
  EXPECT_EQ(display_text(Error(Error::Winapi{OsError(-1)})), "IO error in winapi call");
}

using RawValueErrorText = SimTest;

TEST_F(RawValueErrorText, NumbersInPlainDecimal) {
  EXPECT_EQ(display_text(Raw(Raw::InvalidInteger{0})),
            "invalid unsigned integer for the target type: 0");
  EXPECT_EQ(display_text(Raw(Raw::InvalidInteger{4294967295u})),
            "invalid unsigned integer for the target type: 4294967295");
  EXPECT_EQ(display_text(Raw(Raw::InvalidIntegerSigned{-5})),
            "invalid signed integer for the target type: -5");
  EXPECT_EQ(display_text(Raw(Raw::InvalidIntegerSigned{-2147483647 - 1})),
            "invalid signed integer for the target type: -2147483648");
  EXPECT_EQ(display_text(Raw(Raw::InvalidGuid{"{not \"a\" guid}"})),
            "invalid GUID value for the target type: {not \"a\" guid}");
}

using ServiceControlErrorCause = SimTest;

TEST_F(ServiceControlErrorCause, OnlyParseValueAndWinapiHaveOne) {
  EXPECT_EQ(Error(Error::LaunchArgumentsNotSupported{}).cause(), nullptr);
  EXPECT_EQ(Error(Error::ArgumentHasNulByte{"service name"}).cause(), nullptr);
  EXPECT_EQ(Error(Error::ArgumentArrayElementHasNulByte{"arguments", 0}).cause(), nullptr);

  for (const auto& [error, cause] :
       {std::pair{parse_value(8), "invalid unsigned integer for the target type: 8"},
        std::pair{Error(Error::Winapi{OsError(5)}), "Access is denied. (os error 5)"}}) {
    ASSERT_NE(error.cause(), nullptr);
    EXPECT_EQ(display_text(*error.cause()), cause);
    EXPECT_EQ(error.cause()->cause(), nullptr);
  }
}

TEST_F(ServiceControlErrorCause, SurvivesAMoveAndAnAssignment) {
  Error moved = parse_value(7);
  const Error error = std::move(moved);
  ASSERT_NE(error.cause(), nullptr);
  EXPECT_EQ(display_text(*error.cause()), "invalid unsigned integer for the target type: 7");

  Error assigned = parse_value(1);
  assigned = error;
  ASSERT_NE(assigned.cause(), nullptr);
  EXPECT_EQ(display_text(*assigned.cause()), "invalid unsigned integer for the target type: 7");
}

using ServiceControlErrorDebug = SimTest;

TEST_F(ServiceControlErrorDebug, PlainFormNamesTheKindAndItsFields) {
  EXPECT_EQ(debug_text(Error(Error::LaunchArgumentsNotSupported{}), false),
            "LaunchArgumentsNotSupported");
  EXPECT_EQ(debug_text(parse_value(0), false), "ParseValue(\"service status\", InvalidInteger(0))");
  EXPECT_EQ(debug_text(Error(Error::ArgumentHasNulByte{"service name"}), false),
            "ArgumentHasNulByte(\"service name\")");
  EXPECT_EQ(debug_text(Error(Error::ArgumentArrayElementHasNulByte{"args", 3}), false),
            "ArgumentArrayElementHasNulByte(\"args\", 3)");
  EXPECT_EQ(debug_text(Raw(Raw::InvalidIntegerSigned{-5}), false), "InvalidIntegerSigned(-5)");
  EXPECT_EQ(debug_text(Raw(Raw::InvalidGuid{"a\"b\\c\n"}), false),
            "InvalidGuid(\"a\\\"b\\\\c\\n\")");
  // A Winapi error shows its OsError by that error's own rendering.
  EXPECT_EQ(debug_text(Error(Error::Winapi{OsError(5)}), false),
            "Winapi(Os { code: 5, message: \"Access is denied.\" })");
}

TEST_F(ServiceControlErrorDebug, AlternateFormPutsEachFieldOnItsOwnLine) {
  EXPECT_EQ(debug_text(Error(Error::LaunchArgumentsNotSupported{}), true),
            "LaunchArgumentsNotSupported");
  EXPECT_EQ(debug_text(Error(Error::ArgumentArrayElementHasNulByte{"args", 3}), true),
            "ArgumentArrayElementHasNulByte(\n    \"args\",\n    3,\n)");
  // A nested error is indented one level deeper.
  EXPECT_EQ(debug_text(parse_value(0), true),
            "ParseValue(\n    \"service status\",\n    InvalidInteger(\n        0,\n    ),\n)");
  EXPECT_EQ(
      debug_text(Error(Error::Winapi{OsError(5)}), true),
      "Winapi(\n    Os {\n        code: 5,\n        message: \"Access is denied.\",\n    },\n)");
}

TEST_F(ServiceControlErrorText, RefusedWriteStopsTheTextAndIsPassedOn) {
  const Error nul_byte(Error::ArgumentHasNulByte{"service name"});
  refusing_each_write([&](TextSink& sink) { return nul_byte.write_display(sink); });
  const Error error = parse_value(0);
  for (const bool alternate : {false, true}) {
    refusing_each_write([&](TextSink& sink) { return error.write_debug(sink, alternate); });
  }
}

}  // namespace
}  // namespace tembra
