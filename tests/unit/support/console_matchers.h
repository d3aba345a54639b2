// The result matchers (result_matchers.h) for write errors.
#pragma once

#include <gmock/gmock.h>

#include <ostream>

#include "console/write_error.h"
#include "support/result_matchers.h"

namespace tembra {

// For FailsWithOsError.
inline const OsError* os_error_of(const WriteError& error) {
  return error.os_error();
}

// A write error whose kind matches.
inline auto FailsWithKind(const ::testing::Matcher<WriteErrorKind>& kind) {
  return result_matchers::fails(
      "a write error kind that " + result_matchers::description(kind),
      [kind](const WriteError& error, ::testing::MatchResultListener& listener) {
        listener << "whose kind is " << ::testing::PrintToString(error.kind());
        return kind.Matches(error.kind());
      });
}

inline void PrintTo(WriteErrorKind kind, std::ostream* os) {
  constexpr const char* kNames[] = {"Os", "InvalidData", "WriteZero"};
  *os << kNames[static_cast<int>(kind)];
}

}  // namespace tembra
