// The line buffer of standard output: whole lines go out at once, a partial line waits.
#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <string_view>

#include "console/process_heap.h"
#include "console/write_error.h"

namespace tembra {

class [[nodiscard]] OutputLineBuffer {
 public:
  static constexpr std::size_t kCapacity = 1024;

  // Takes kCapacity bytes from the process heap; without them the process ends.
  static OutputLineBuffer make();
  // Capacity 0: every piece goes straight to the handle.
  static OutputLineBuffer unbuffered() { return OutputLineBuffer(nullptr); }

  // Writes one piece of a print through the buffer.
  [[nodiscard]] std::expected<void, WriteError> write(std::string_view piece);
  [[nodiscard]] std::expected<void, WriteError> flush();
  // Flushes what it can and gives up its storage: everything after goes straight out.
  void finish();

  // The storage is all or nothing: kCapacity bytes, or none.
  std::size_t capacity() const { return bytes_ ? kCapacity : 0; }
  std::size_t filled() const { return filled_; }

 private:
  explicit OutputLineBuffer(char* bytes) : bytes_(bytes) {}
  [[nodiscard]] std::expected<void, WriteError> store(std::string_view bytes);
  std::size_t free_space() const { return capacity() - filled_; }

  std::unique_ptr<char[], HeapBlockFree> bytes_;
  std::size_t filled_ = 0;
};

// The buffer of standard output, made on first use. Call it only under the stream's lock.
OutputLineBuffer& stdout_line_buffer();
// True once the first print to standard output has made the buffer.
bool stdout_line_buffer_made();
// Standard output writes straight to its handle from now on; a buffer never made is not made.
void finish_stdout_line_buffer();
// For tests: standard output as before its first print.
void forget_stdout_line_buffer();

}  // namespace tembra
