// The lengths of the logged writes to the standard handles, and the writes that take nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/simulator.h"

namespace tembra {

// The length argument (third for WriteConsoleW, seventh for NtWriteFile) of each logged call.
inline std::vector<std::string> write_lengths(std::string_view function) {
  std::vector<std::string> lengths;
  const std::size_t position = function == "WriteConsoleW" ? 2 : 6;
  for (const auto& line : sim::calls_to({function})) {
    std::size_t start = line.find('(') + 1;
    for (std::size_t i = 0; i < position; ++i) {
      start = line.find(", ", start) + 2;
    }
    lengths.push_back(line.substr(start, line.find_first_of(",)", start) - start));
  }
  return lengths;
}

// The ways a write to standard output can take nothing, each made for the next write: a console
// that takes no unit, or a count reported far past what was offered (past the console's
// conversion buffer too).
struct NoProgress {
  const char* name;
  sim::StdKind kind;
  void (*make)();
};
inline constexpr DWORD kOverstatement = 4096;
inline const NoProgress kNoProgress[] = {
    {"console taking no unit", sim::StdKind::Console,
     [] { sim::script_console_accepts(STD_OUTPUT_HANDLE, {0}); }},
    {"file overstating its count", sim::StdKind::File,
     [] { sim::overstate_next_write(STD_OUTPUT_HANDLE, kOverstatement); }},
    {"console overstating its count", sim::StdKind::Console,
     [] { sim::overstate_next_write(STD_OUTPUT_HANDLE, kOverstatement); }},
};

}  // namespace tembra
