#include "service/utf16_buffer.h"

#include <algorithm>

#include "base/utf.h"
#include "console/fatal.h"

namespace tembra {

namespace {

// The platform's allocations stop short of 2 GiB.
constexpr std::size_t kMaxBufferBytes = 0x7FFFFFFE;

}  // namespace

void Utf16Buffer::reallocate(std::size_t capacity) {
  capacity = std::max(capacity, length_);
  if (capacity > kMaxBufferBytes / sizeof(WCHAR)) {
    fatal_capacity_overflow();
  }
  const std::size_t bytes = capacity * sizeof(WCHAR);
  void* moved = units_ ? heap_reallocate(units_.get(), bytes) : heap_allocate(bytes);
  // The old block is gone into the new one: not freed again.
  (void)units_.release();
  units_.reset(static_cast<WCHAR*>(moved));
  capacity_ = capacity;
}

WCHAR* Utf16Buffer::release() {
  length_ = 0;
  capacity_ = 0;
  return units_.release();
}

Utf16Buffer utf8_to_utf16(std::string_view text) {
  Utf16Buffer buffer;
  Utf8ToUtf16 units(text);
  if (units.done()) {
    return buffer;
  }
  const WCHAR first = units.next();
  buffer.reallocate(std::max<std::size_t>(4, units.units_ahead() + 1));
  buffer.push_within_capacity(first);
  while (!units.done()) {
    const WCHAR unit = units.next();
    if (buffer.length() == buffer.capacity()) {
      const std::size_t wanted = buffer.length() + units.units_ahead() + 1;
      buffer.reallocate(std::max({buffer.capacity() * 2, wanted, std::size_t{4}}));
    }
    buffer.push_within_capacity(unit);
  }
  return buffer;
}

}  // namespace tembra
