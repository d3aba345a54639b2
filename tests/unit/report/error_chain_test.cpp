// The chain text: causes in their two layouts, the backtrace section, refused writes.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "report/error_chain.h"
#include "report/indented_writer.h"
#include "report/stack_backtrace.h"
#include "support/error_text.h"
#include "support/sim_fixture.h"

namespace {

// An error kind made up for these tests: its display text arrives in the given pieces.
class MadeUpError final : public ErrorObject {
 public:
  MadeUpError(std::initializer_list<std::string_view> pieces, const ErrorObject* cause = nullptr)
      : pieces_(pieces), cause_(cause) {}

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
  EXPECT_TRUE(write_chain_text(sink, error, backtrace).has_value());
  return sink.text();
}

}  // namespace

using ChainText = SimTest;

TEST_F(ChainText, ErrorWithoutCauseIsItsTextAlone) {
  EXPECT_EQ(chain_text(MadeUpError({"the outer error"})), "the outer error");
}

TEST_F(ChainText, OneCauseIsIndentedByFourSpacesWithoutNumber) {
  const MadeUpError inner({"what went wrong"});
  EXPECT_EQ(chain_text(MadeUpError({"outer"}, &inner)), "outer\n\nCaused by:\n    what went wrong");
}

TEST_F(ChainText, TwoOrMoreCausesAreNumberedFromZero) {
  const MadeUpError c({"third"});
  const MadeUpError b({"second"}, &c);
  const MadeUpError a({"first"}, &b);
  EXPECT_EQ(chain_text(MadeUpError({"outer"}, &a)),
            "outer\n\nCaused by:\n    0: first\n    1: second\n    2: third");
  EXPECT_EQ(chain_text(MadeUpError({"outer"}, &b)),
            "outer\n\nCaused by:\n    0: second\n    1: third");
}

TEST_F(ChainText, LineBreaksInsideCausesAreFollowedByTheIndent) {
  // Numbered: seven spaces, an empty line keeps its indent, a final break leaves one behind.
  const MadeUpError b({"b one\n\nb two\n"});
  const MadeUpError a({"a"}, &b);
  EXPECT_EQ(chain_text(MadeUpError({"outer"}, &a)),
            "outer\n\nCaused by:\n    0: a\n    1: b one\n       \n       b two\n       ");
  // Unnumbered: four spaces.
  const MadeUpError only({"one\ntwo\n"});
  EXPECT_EQ(chain_text(MadeUpError({"outer"}, &only)),
            "outer\n\nCaused by:\n    one\n    two\n    ");
}

TEST_F(ChainText, OuterTextKeepsItsLineBreaksUnindented) {
  const MadeUpError inner({"inner"});
  EXPECT_EQ(chain_text(MadeUpError({"outer\nsecond line\n"}, &inner)),
            "outer\nsecond line\n\n\nCaused by:\n    inner");
}

TEST_F(ChainText, TextInSeveralPiecesGetsOnePrefixAndIndentsEveryBreak) {
  // Pieces that start mid-line continue it; a break at the start or end of a piece counts.
  const MadeUpError inner({"invalid ", "service\nstatus", "", " value", "\n", "tail"});
  EXPECT_EQ(chain_text(MadeUpError({"out", "er"}, &inner)),
            "outer\n\nCaused by:\n    invalid service\n    status value\n    tail");
  const MadeUpError second({"x", "\ny"});
  const MadeUpError first({"", "a"}, &second);
  EXPECT_EQ(chain_text(MadeUpError({"outer"}, &first)),
            "outer\n\nCaused by:\n    0: a\n    1: x\n       y");
}

using IndentedWriterTest = SimTest;

TEST_F(IndentedWriterTest, NumberIsRightAlignedInAtLeastFiveColumns) {
  struct Case {
    std::size_t number;
    std::string_view expected;
  };
  for (const Case& c : {Case{7, "    7: a\n       b"}, Case{12345, "12345: a\n       b"},
                        Case{123456, "123456: a\n       b"}}) {
    StringSink sink;
    IndentedWriter writer(sink, c.number);
    ASSERT_TRUE(writer.write_str("a\nb").has_value());
    EXPECT_EQ(sink.text(), c.expected);
  }
}

TEST_F(ChainText, RefusedWriteStopsTheTextAndIsPassedOn) {
  const MadeUpError b({"b"});
  const MadeUpError a({"a\nmore"}, &b);
  const MadeUpError outer({"outer"}, &a);
  const std::string whole = chain_text(outer);
  // Refusing at each write in turn: what came before stays, nothing is tried afterwards.
  for (std::size_t accepted = 0;; ++accepted) {
    RefusingSink sink(accepted);
    const SinkResult result = write_chain_text(sink, outer, StackBacktrace::disabled());
    if (result) {
      EXPECT_EQ(sink.text(), whole);
      EXPECT_GT(accepted, 5u);
      break;
    }
    EXPECT_EQ(sink.writes_after_refusal(), 0) << "after " << accepted << " writes";
    EXPECT_TRUE(whole.starts_with(sink.text()));
    EXPECT_LT(sink.text().size(), whole.size());
  }
}

using BacktraceSection = SimTest;

TEST_F(BacktraceSection, HeadingThenTextWithoutTrailingWhiteSpace) {
  StringSink sink;
  ASSERT_TRUE(
      write_backtrace_section(sink, "   0: main\n   1: start \t\r\n\u3000\u00A0\n").has_value());
  EXPECT_EQ(sink.text(), "\n\nStack backtrace:\n   0: main\n   1: start");
}

TEST_F(BacktraceSection, TextWithItsOwnHeadingGetsNoSecond) {
  StringSink sink;
  ASSERT_TRUE(write_backtrace_section(sink, "stack backtrace:\n   0: main\n").has_value());
  EXPECT_EQ(sink.text(), "\n\nStack backtrace:\n   0: main");
  // Only the exact lower-case heading is taken as the text's own.
  StringSink other;
  ASSERT_TRUE(write_backtrace_section(other, "Stack backtrace:\n   0: main").has_value());
  EXPECT_EQ(other.text(), "\n\nStack backtrace:\nStack backtrace:\n   0: main");
}

TEST_F(BacktraceSection, UnsupportedOrDisabledBacktraceAddsNothing) {
  const MadeUpError inner({"inner"});
  const MadeUpError outer({"outer"}, &inner);
  EXPECT_EQ(chain_text(outer, StackBacktrace::unsupported()), "outer\n\nCaused by:\n    inner");
  EXPECT_EQ(chain_text(outer, StackBacktrace::disabled()), "outer\n\nCaused by:\n    inner");
}
