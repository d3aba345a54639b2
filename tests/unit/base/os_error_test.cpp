#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/os_error.h"
#include "support/error_text.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;

constexpr auto kNtAccessDenied = static_cast<std::int32_t>(0xD0000022);  // with FACILITY_NT_BIT

using OsErrorText = SimTest;

TEST_F(OsErrorText, SystemMessageWithoutItsLineEndThenTheCode) {
  EXPECT_EQ(display_text(OsError(5)), "Access is denied. (os error 5)");
  EXPECT_EQ(display_text(OsError(0)), "The operation completed successfully. (os error 0)");
  EXPECT_THAT(sim::calls_to({"FormatMessageW", "GetModuleHandleW"}),
              ElementsAre("FormatMessageW(0x1200, null, 5, 0, ptr, 2048, null) = 19",
                          "FormatMessageW(0x1200, null, 0, 0, ptr, 2048, null) = 39"));
}

// A lookup that gives no message shows the id looked up, the reason read right after the call,
// and the code, each number signed. Without ntdll an NT code is looked up unchanged.
TEST_F(OsErrorText, FailedLookupShowsTheIdAndTheReasonReadRightAfter) {
  struct Row {
    std::int32_t code;
    DWORD reason;
    bool ntdll_loaded;
    const char* lookup;
    const char* text;
  };
  for (const Row& row : {
           Row{5, ERROR_NOT_ENOUGH_MEMORY, true, "0x1200, null, 5",
               "OS Error 5 (FormatMessageW() returned error 8) (os error 5)"},
           Row{static_cast<std::int32_t>(0x80070005), ERROR_MR_MID_NOT_FOUND, true,
               "0x1200, null, 2147942405",
               "OS Error -2147024891 (FormatMessageW() returned error 317) (os error -2147024891)"},
           Row{kNtAccessDenied, ERROR_MR_MID_NOT_FOUND, true, "0x1A00, ntdll, 3221225506",
               "OS Error -1073741790 (FormatMessageW() returned error 317) (os error -805306334)"},
           Row{kNtAccessDenied, ERROR_MR_MID_NOT_FOUND, false, "0x1200, null, 3489660962",
               "OS Error -805306334 (FormatMessageW() returned error 317) (os error -805306334)"},
       }) {
    fresh_process();
    sim::set_ntdll_loaded(row.ntdll_loaded);
    sim::fail_next("FormatMessageW", row.reason);
    EXPECT_EQ(display_text(OsError(row.code)), row.text);
    EXPECT_THAT(
        sim::calls_to({"FormatMessageW"}),
        ElementsAre("FormatMessageW(" + std::string(row.lookup) + ", 0, ptr, 2048, null) = 0"));
    EXPECT_TRUE(code_read_right_after("FormatMessageW", row.reason));
  }
}

TEST_F(OsErrorText, NtCodeIsLookedUpInNtdllWithoutTheFacilityBit) {
  EXPECT_EQ(display_text(OsError(kNtAccessDenied)),
            "{Access Denied}\r\nA process has requested access to an object, but has not been "
            "granted those access rights. (os error -805306334)");
  EXPECT_THAT(sim::calls_to({"FormatMessageW", "GetModuleHandleW"}),
              ElementsAre("GetModuleHandleW(u\"NTDLL.DLL\") = ntdll",
                          "FormatMessageW(0x1A00, ntdll, 3221225506, 0, ptr, 2048, null) = 109"));
  // The code in one write, its sign included.
  EXPECT_THAT(
      calls_of(OsError(kNtAccessDenied)),
      ElementsAre(::testing::StartsWith("{Access Denied}"), " (os error ", "-805306334", ")"));
}

TEST_F(OsErrorText, OnlyTrailingWhiteSpaceIsRemoved) {
  sim::set_system_message(40, u"First line.\r\nSecond\u00A0line.\u3000\u2029 \t\r\n");
  EXPECT_EQ(display_text(OsError(40)), "First line.\r\nSecond\u00A0line. (os error 40)");
  sim::set_system_message(41, u" \r\n\u0085\u2000\u202F");
  EXPECT_EQ(display_text(OsError(41)), " (os error 41)");
}

TEST_F(OsErrorText, UnpairedSurrogateGivesTheInvalidUtf16Text) {
  sim::set_system_message(42, u"valid \xD83D\xDE00 then \xDC00 alone\r\n");
  EXPECT_EQ(display_text(OsError(42)),
            "OS Error 42 (FormatMessageW() returned invalid UTF-16) (os error 42)");
  sim::set_system_message(43, u"ends high \xD800");
  EXPECT_EQ(os_error_message(43), "OS Error 43 (FormatMessageW() returned invalid UTF-16)");
}

TEST_F(OsErrorText, DiagnosticFormShowsCodeAndMessage) {
  EXPECT_EQ(debug_text(OsError(5), false), "Os { code: 5, message: \"Access is denied.\" }");
}

TEST_F(OsErrorText, LastReadsTheThreadsLastError) {
  SetLastError(1060);
  EXPECT_EQ(OsError::last().code(), 1060);
  SetLastError(0xFFFFFFFF);
  EXPECT_EQ(OsError::last().code(), -1);
}

}  // namespace
}  // namespace tembra
