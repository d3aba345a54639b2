// The DLL search the process starts with: System32 alone where the system can say so, else at
// least without the current directory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dll_search.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using DllSearchTest = SimTest;

TEST_F(DllSearchTest, OnlySystem32OrAtLeastNotTheCurrentDirectory) {
  struct Row {
    const char* missing;  // the call that fails, as on a system without SetDefaultDllDirectories
    std::vector<std::string> calls;
  };
  const std::string lookup = R"(GetModuleHandleW(u"kernel32.dll") = kernel32)";
  const std::string without_current = R"(SetDllDirectoryW(u"") = 1)";
  for (const Row& row : {
           Row{nullptr,
               {lookup, R"(GetProcAddress(kernel32, "SetDefaultDllDirectories") = ptr)",
                "SetDefaultDllDirectories(0x800) = 1"}},
           Row{"GetProcAddress",
               {lookup, R"(GetProcAddress(kernel32, "SetDefaultDllDirectories") = null)",
                without_current}},
           Row{"GetModuleHandleW",
               {R"(GetModuleHandleW(u"kernel32.dll") = null)", without_current}},
       }) {
    fresh_process();
    if (row.missing != nullptr) {
      sim::fail_next(row.missing, ERROR_PROC_NOT_FOUND);
    }
    restrict_dll_search();
    EXPECT_EQ(sim::calls(), row.calls) << (row.missing == nullptr ? "all there" : row.missing);
  }
}

}  // namespace
}  // namespace tembra
