// A growable run of UTF-16 code units, and UTF-8 text converted into one.
#pragma once

#include <cassert>
#include <cstddef>
#include <memory>
#include <string_view>

#include "console/process_heap.h"
#include "platform/win32.h"

namespace tembra {

// The sole owner of its storage; empty owns none. A moved-from buffer is only destroyed or
// assigned to.
class [[nodiscard]] Utf16Buffer {
 public:
  std::size_t length() const { return length_; }
  std::size_t capacity() const { return capacity_; }
  std::basic_string_view<WCHAR> view() const {
    assert(units_ != nullptr || length_ == 0);
    return {units_.get(), length_};
  }

  // Makes the storage exactly `capacity` units (never below the length), from the process heap.
  // Ends the process when the heap cannot give them.
  void reallocate(std::size_t capacity);
  // Appends a unit; the storage must have room.
  void push_within_capacity(WCHAR unit) {
    assert(length_ < capacity_);
    units_.get()[length_++] = unit;
  }
  // Hands the storage over; the buffer is left empty.
  [[nodiscard]] WCHAR* release();

 private:
  std::unique_ptr<WCHAR, HeapBlockFree> units_;
  std::size_t length_ = 0;
  std::size_t capacity_ = 0;
};

// The text as UTF-16, each ill-formed sequence as U+FFFD, never reading past the text.
// Empty text takes no storage; otherwise the buffer starts at max(4, the units still to come
// at least, plus one) and doubles when full, unless the bytes ahead ask for more.
Utf16Buffer utf8_to_utf16(std::string_view text);

}  // namespace tembra
