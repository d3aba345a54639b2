// The lengths of the logged writes to the standard handles.
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

}  // namespace tembra
