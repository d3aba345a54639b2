// The stack backtrace: the frames taken when the switch is on, one line for each (and one more
// for the module of a symbol), and the section of the failure report that carries them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sim/simulator.h"
#include "report/stack_backtrace.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

// Where a frame lies: in a module at an offset, and in a function at an offset when one is named.
FrameLocation located(std::u16string_view module_path, std::uintptr_t module_offset,
                      std::string symbol = {}, std::uintptr_t symbol_offset = 0) {
  FrameLocation location;
  location.symbol = std::move(symbol);
  location.symbol_offset = symbol_offset;
  location.module_path_length = module_path.copy(location.module_path.data(), module_path.size());
  location.module_offset = module_offset;
  return location;
}

// The environment asks for backtraces.
class StackBacktraceTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::set_environment_variable(u"RUST_BACKTRACE", u"1");
  }
};

TEST_F(StackBacktraceTest, EachFrameLineNamesWhatWasFoundInHexadecimal) {
  sim::script_stack({
      {0x401000, located(u"C:\\tools\\tembra-uninstall.exe", 0x1a2b, "main", 0x1f)},
      {0x402000, located(u"", 0, "helper", 0x10)},         // no module found
      {0x403000, located(u"tembra-uninstall.exe", 0xff)},  // a path without a folder
      {0x404000, located(u"/usr/lib/libc.so.6", 0xabc)},   // the other separator
      {0x405000, located(u"C:\\dir\\\xD800.dll", 0x10)},   // not valid UTF-16: no name
      {0x406000, {}},                                      // nothing found
  });
  const StackBacktrace backtrace = StackBacktrace::capture();
  ASSERT_EQ(backtrace.state(), StackBacktrace::State::Captured);
  EXPECT_EQ(backtrace.frame_count(), 6u);
  EXPECT_EQ(backtrace.render(),
            "   0: main+0x1f\n"
            "             at tembra-uninstall.exe+0x1a2b\n"
            "   1: helper+0x10\n"
            "   2: tembra-uninstall.exe+0xff\n"
            "   3: libc.so.6+0xabc\n"
            "   4: <unknown> at 0x405000\n"
            "   5: <unknown> at 0x406000\n");
}

TEST_F(StackBacktraceTest, NoFrameRecordedIsUnsupported) {
  sim::script_stack({});
  const StackBacktrace backtrace = StackBacktrace::capture();
  EXPECT_EQ(backtrace.state(), StackBacktrace::State::Unsupported);
  EXPECT_EQ(backtrace.render(), "");
}

using BacktraceSection = SimTest;

// Only the exact lower-case heading is taken as the text's own.
TEST_F(BacktraceSection, HeadingThenTextWithoutTrailingWhiteSpaceOrASecondHeading) {
  for (const auto& [text, section] :
       std::initializer_list<std::pair<std::string_view, std::string_view>>{
           {"   0: main\n   1: start \t\r\n\u3000\u00A0\n",
            "\n\nStack backtrace:\n   0: main\n   1: start"},
           {"stack backtrace:\n   0: main\n", "\n\nStack backtrace:\n   0: main"},
           {"Stack backtrace:\n   0: main",
            "\n\nStack backtrace:\nStack backtrace:\n   0: main"}}) {
    StringSink sink;
    ASSERT_THAT(write_backtrace_section(sink, text), Succeeds());
    EXPECT_EQ(sink.text(), section);
  }
}

}  // namespace
}  // namespace tembra
