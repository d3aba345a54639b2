// The chain text (causes in their two layouts, refused writes) and the failure report as it
// reaches standard error, with and without a stack backtrace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <initializer_list>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/simulator.h"
#include "report/error_chain.h"
#include "report/stack_backtrace.h"
#include "support/error_text.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

// An error kind made up for these tests: its display text arrives in the given pieces.
class MadeUpError final : public ErrorObject {
 public:
  MadeUpError(std::vector<std::string_view> pieces, const ErrorObject* cause = nullptr)
      : pieces_(std::move(pieces)), cause_(cause) {}

  SinkResult write_display(TextSink& sink) const override {
    for (std::string_view piece : pieces_) {
      if (auto r = sink.write_str(piece); !r) {
        return r;
      }
    }
    return {};
  }
  const ErrorObject* cause() const override { return cause_; }
  SinkResult write_debug(TextSink& sink, bool) const override {
    return sink.write_str("MadeUpError");
  }

 private:
  std::vector<std::string_view> pieces_;
  const ErrorObject* cause_;
};

std::string chain_text(const ErrorObject& error,
                       const StackBacktrace& backtrace = StackBacktrace::disabled()) {
  StringSink sink;
  EXPECT_THAT(write_chain_text(sink, error, backtrace), Succeeds());
  return sink.text();
}

using ChainText = SimTest;

// Each row: the outer error and its causes in order, each as the pieces of its text.
TEST_F(ChainText, CausesFollowIndentedAndNumberedFromZeroWhenTwoOrMore) {
  struct Row {
    std::vector<std::vector<std::string_view>> chain;
    std::string_view text;
  };
  for (const Row& row : std::initializer_list<Row>{
           {{{"the outer error"}}, "the outer error"},
           {{{"outer"}, {"what went wrong"}}, "outer\n\nCaused by:\n    what went wrong"},
           {{{"outer"}, {"first"}, {"second"}, {"third"}},
            "outer\n\nCaused by:\n    0: first\n    1: second\n    2: third"},
           {{{"outer"}, {"second"}, {"third"}}, "outer\n\nCaused by:\n    0: second\n    1: third"},
           // A break inside a cause is followed by the indent, seven spaces when numbered, four
           // when not: an empty line keeps it, a final break leaves one behind.
           {{{"outer"}, {"a"}, {"b one\n\nb two\n"}},
            "outer\n\nCaused by:\n    0: a\n    1: b one\n       \n       b two\n       "},
           {{{"outer"}, {"one\ntwo\n"}}, "outer\n\nCaused by:\n    one\n    two\n    "},
           // The outer text keeps its breaks unindented.
           {{{"outer\nsecond line\n"}, {"inner"}}, "outer\nsecond line\n\n\nCaused by:\n    inner"},
           // One prefix per cause: pieces that start mid-line continue it; a break at the start
           // or end of a piece counts.
           {{{"out", "er"}, {"invalid ", "service\nstatus", "", " value", "\n", "tail"}},
            "outer\n\nCaused by:\n    invalid service\n    status value\n    tail"},
           {{{"outer"}, {"", "a"}, {"x", "\ny"}},
            "outer\n\nCaused by:\n    0: a\n    1: x\n       y"},
       }) {
    std::deque<MadeUpError> errors;  // innermost first built; each refers to the one below
    for (auto pieces = row.chain.rbegin(); pieces != row.chain.rend(); ++pieces) {
      errors.emplace_front(*pieces, errors.empty() ? nullptr : &errors.front());
    }
    // Neither a disabled backtrace (the default) nor an unsupported one adds anything.
    EXPECT_EQ(chain_text(errors.front()), row.text);
    EXPECT_EQ(chain_text(errors.front(), StackBacktrace::unsupported()), row.text);
  }
}

TEST_F(ChainText, RefusedWriteStopsTheTextAndIsPassedOn) {
  const MadeUpError b({"b"});
  const MadeUpError a({"a\nmore"}, &b);
  const MadeUpError outer({"outer"}, &a);
  auto write = [&](TextSink& sink) {
    return write_chain_text(sink, outer, StackBacktrace::disabled());
  };
  EXPECT_GT(refusing_each_write(write), 5u);
}

constexpr std::string_view kMissingServiceReport =
    "Error: IO error in winapi call\n\nCaused by:\n    The specified service does not exist as "
    "an installed service. (os error 1060)\n";

ServiceControlError missing_service() {
  return ServiceControlError(ServiceControlError::Winapi{OsError(ERROR_SERVICE_DOES_NOT_EXIST)});
}

using FailureReport = SimTest;

// Every line after the heading is a frame line: the frame's number right-aligned in four columns,
// then a symbol, or a module by its file name alone, with its offset, or "<unknown>" and the
// address; or else the "at" line naming the module of the symbol above. The frames are numbered
// from 0 in order, one numbered line each.
void expect_frame_lines(std::string_view section, std::size_t frames) {
  static const std::regex kNumbered(
      R"(( {3}\d| {2}\d{2}| \d{3}|\d{4,}): (<unknown> at 0x[0-9a-f]+|[^/\\ ]+\+0x[0-9a-f]+))");
  static const std::regex kModuleOfSymbol(R"( {13}at [^/\\ ]+\+0x[0-9a-f]+)");
  std::size_t numbered = 0;
  for (std::size_t start = 0; start <= section.size();) {
    const std::size_t end = std::min(section.find('\n', start), section.size());
    const std::string line(section.substr(start, end - start));
    start = end + 1;
    std::smatch match;
    if (std::regex_match(line, match, kNumbered)) {
      const std::string number = match[1].str();
      EXPECT_EQ(number.substr(number.find_first_not_of(' ')), std::to_string(numbered))
          << "line: \"" << line << "\"";
      ++numbered;
    } else {
      EXPECT_TRUE(std::regex_match(line, kModuleOfSymbol)) << "line: \"" << line << "\"";
    }
  }
  EXPECT_GT(numbered, 0u);
  EXPECT_EQ(numbered, frames);
}

// A cause that is a raw value shows the value.
TEST_F(FailureReport, WithoutBacktraceIsErrorChainAndOneLineFeed) {
  for (const auto& [error, report] :
       {std::pair{missing_service(), std::string(kMissingServiceReport)},
        {ServiceControlError(ServiceControlError::ParseValue{
             "service status", RawValueError(RawValueError::InvalidInteger{8})}),
         "Error: invalid service status value\n\nCaused by:\n    invalid unsigned integer for the "
         "target type: 8\n"}}) {
    fresh_process();
    EXPECT_EQ(report_failure(ErrorChain::wrap(ServiceControlError(error))), 1);
    EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), report);
    EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
  }
}

TEST_F(FailureReport, BacktraceSectionCarriesFramesAndEndsInOneLineFeed) {
  sim::set_environment_variable(u"RUST_BACKTRACE", u"1");
  ErrorChain chain = ErrorChain::wrap(missing_service());
  ASSERT_EQ(chain.backtrace().state(), StackBacktrace::State::Captured);
  const std::size_t frames_captured = chain.backtrace().frame_count();
  // Writing does not change the chain: the same text comes out twice.
  StringSink first;
  StringSink second;
  ASSERT_THAT(chain.write_chain(first), Succeeds());
  ASSERT_THAT(chain.write_chain(second), Succeeds());
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
  expect_frame_lines(frames, frames_captured);
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

}  // namespace
}  // namespace tembra
