#include "console/fatal.h"

#include <cstdint>
#include <string>

#include "base/number_text.h"
#include "console/std_stream.h"
#include "platform/win32.h"

namespace tembra {

void fatal_internal_fault(std::string_view message) {
  // Best effort: a standard error that cannot be written changes nothing about the ending.
  (void)write_whole(StdStream::Err, message);
  (void)write_whole(StdStream::Err, "\n");
  raise_fast_fail(FAST_FAIL_FATAL_APP_EXIT);
}

void fatal_allocation_failure(std::size_t bytes) {
  // Built without the heap, which has just failed.
  char text[64] = "memory allocation of ";
  std::size_t length = std::char_traits<char>::length(text);
  const NumberText number = NumberText::decimal(std::uint64_t{bytes});
  length += number.view().copy(text + length, number.view().size());
  constexpr std::string_view kTail = " bytes failed";
  kTail.copy(text + length, kTail.size());
  length += kTail.size();
  fatal_internal_fault(std::string_view(text, length));
}

void fatal_capacity_overflow() {
  fatal_internal_fault("capacity overflow");
}

}  // namespace tembra
