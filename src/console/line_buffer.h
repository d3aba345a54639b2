// The line buffer of standard output: whole lines go out at once, a partial line waits.
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "console/write_error.h"

namespace tembra {

class [[nodiscard]] OutputLineBuffer {
 public:
  static constexpr std::size_t kCapacity = 1024;

  // Takes kCapacity bytes from the process heap; without them the process ends.
  static OutputLineBuffer make();
  // Capacity 0: every piece goes straight to the handle.
  static OutputLineBuffer unbuffered() { return OutputLineBuffer(nullptr, 0); }

  OutputLineBuffer(OutputLineBuffer&& other) noexcept;
  OutputLineBuffer& operator=(OutputLineBuffer&& other) noexcept;
  ~OutputLineBuffer();

  // One piece of a print.
  [[nodiscard]] std::expected<void, WriteError> write_piece(std::string_view piece);
  [[nodiscard]] std::expected<void, WriteError> flush();
  // Flushes what it can and gives up its storage: everything after goes straight out.
  void finish();

  std::size_t capacity() const { return capacity_; }
  std::size_t filled() const { return filled_; }

 private:
  OutputLineBuffer(char* bytes, std::size_t capacity) : bytes_(bytes), capacity_(capacity) {}
  [[nodiscard]] std::expected<void, WriteError> store(std::string_view bytes);
  std::size_t free_space() const { return capacity_ - filled_; }
  void release();

  char* bytes_ = nullptr;
  std::size_t capacity_ = 0;
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
