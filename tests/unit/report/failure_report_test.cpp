// The failure report as it reaches standard error, with and without a stack backtrace.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "report/error_chain.h"
#include "support/sim_fixture.h"

namespace {

constexpr std::string_view kMissingServiceReport =
    "Error: IO error in winapi call\n\nCaused by:\n    The specified service does not exist as "
    "an installed service. (os error 1060)\n";

ServiceControlError missing_service() {
  return ServiceControlError(ServiceControlError::Winapi{OsError(ERROR_SERVICE_DOES_NOT_EXIST)});
}

using FailureReport = SimTest;

// Every line after the heading is a frame line: a number, then a symbol or a module with its
// offset, or the "at" line naming the module of the symbol above.
void expect_frame_lines(std::string_view section) {
  static const std::regex kFrameLine(
      R"(( {0,3}\d+: .+\+0x[0-9a-f]+)|( {0,3}\d+: <unknown> at 0x[0-9a-f]+)|( {13}at .+\+0x[0-9a-f]+))");
  std::size_t lines = 0;
  for (std::size_t start = 0; start <= section.size(); ++lines) {
    const std::size_t end = std::min(section.find('\n', start), section.size());
    const std::string line(section.substr(start, end - start));
    EXPECT_TRUE(std::regex_match(line, kFrameLine)) << "line: \"" << line << "\"";
    start = end + 1;
  }
  EXPECT_GT(lines, 0u);
}

}  // namespace

TEST_F(FailureReport, WithoutBacktraceIsErrorChainAndOneLineFeed) {
  EXPECT_EQ(report_failure(ErrorChain::wrap(missing_service())), 1);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), kMissingServiceReport);
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
}

TEST_F(FailureReport, CausedByParseValueShowsTheRawValue) {
  ErrorChain chain = ErrorChain::wrap(ServiceControlError(ServiceControlError::ParseValue{
      "service status", RawValueError(RawValueError::InvalidInteger{8})}));
  EXPECT_EQ(report_failure(std::move(chain)), 1);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE),
            "Error: invalid service status value\n\nCaused by:\n    invalid unsigned integer for "
            "the target type: 8\n");
}

TEST_F(FailureReport, BacktraceSectionCarriesFramesAndEndsInOneLineFeed) {
  sim::set_environment_variable(u"RUST_BACKTRACE", u"1");
  ErrorChain chain = ErrorChain::wrap(missing_service());
  ASSERT_EQ(chain.backtrace().state(), StackBacktrace::State::Captured);
  // Writing does not change the chain: the same text comes out twice.
  StringSink first;
  StringSink second;
  ASSERT_TRUE(chain.write_chain(first).has_value());
  ASSERT_TRUE(chain.write_chain(second).has_value());
  EXPECT_EQ(first.text(), second.text());

  EXPECT_EQ(report_failure(std::move(chain)), 1);
  const std::string report = sim::stream_bytes(STD_ERROR_HANDLE);
  const std::string head = std::string(kMissingServiceReport) + "\nStack backtrace:\n";
  ASSERT_TRUE(report.starts_with(head)) << report;
  ASSERT_TRUE(report.ends_with("\n"));
  const std::string_view frames =
      std::string_view(report).substr(head.size(), report.size() - head.size() - 1);
  EXPECT_FALSE(frames.empty());
  EXPECT_FALSE(std::isspace(static_cast<unsigned char>(frames.back()))) << report;
  expect_frame_lines(frames);
  EXPECT_EQ(report, "Error: " + first.text() + "\n");
}

TEST_F(FailureReport, FailingStandardErrorCutsTheReportShortButStillGivesOne) {
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL), 3);
  EXPECT_EQ(report_failure(ErrorChain::wrap(missing_service())), 1);
  const std::string written = sim::stream_bytes(STD_ERROR_HANDLE);
  EXPECT_FALSE(written.empty());
  EXPECT_LT(written.size(), kMissingServiceReport.size());
  EXPECT_TRUE(kMissingServiceReport.starts_with(written)) << written;
  // Only the refused write was tried after the last accepted one.
  EXPECT_EQ(sim::calls_to({"NtWriteFile"}).size(), 3u);

  fresh_process();
  sim::set_std_handle(STD_ERROR_HANDLE, sim::StdKind::Invalid);
  EXPECT_EQ(report_failure(ErrorChain::wrap(missing_service())), 1);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "");
}
