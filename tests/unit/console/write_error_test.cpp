// Why a write failed: the kind of each failure, its text, its diagnostic form.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "console/write_error.h"
#include "support/console_matchers.h"
#include "support/error_text.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using WriteErrorTest = SimTest;

TEST_F(WriteErrorTest, EachFailureHasItsKindAndNoCause) {
  EXPECT_EQ(WriteError(OsError(112)).kind(), WriteErrorKind::Os);
  EXPECT_EQ(WriteError(WriteFailure::NonUtf8OnConsole).kind(), WriteErrorKind::InvalidData);
  EXPECT_EQ(WriteError(WriteFailure::WholeBufferNotWritten).kind(), WriteErrorKind::WriteZero);
  EXPECT_EQ(WriteError(WriteFailure::BufferedDataNotWritten).kind(), WriteErrorKind::WriteZero);
  EXPECT_EQ(WriteError(OsError(112)).cause(), nullptr);
  EXPECT_EQ(WriteError(WriteFailure::WholeBufferNotWritten).cause(), nullptr);
}

TEST_F(WriteErrorTest, PlatformErrorShowsAsTheOsErrorItHolds) {
  const WriteError error(OsError(5));
  EXPECT_EQ(display_text(error), "Access is denied. (os error 5)");
  EXPECT_EQ(debug_text(error, false), "Os { code: 5, message: \"Access is denied.\" }");
  EXPECT_EQ(debug_text(error, true), "Os {\n    code: 5,\n    message: \"Access is denied.\",\n}");
}

TEST_F(WriteErrorTest, FixedFailureShowsItsKindAndMessage) {
  EXPECT_EQ(debug_text(WriteError(WriteFailure::BufferedDataNotWritten), false),
            "Error { kind: WriteZero, message: \"failed to write the buffered data\" }");
  EXPECT_EQ(debug_text(WriteError(WriteFailure::NonUtf8OnConsole), true),
            "Error { kind: InvalidData, message: \"Windows stdio in console mode does not support "
            "writing non-UTF-8 byte sequences\" }");
}

}  // namespace
}  // namespace tembra
