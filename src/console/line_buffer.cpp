#include "console/line_buffer.h"

#include <cassert>
#include <cstring>
#include <optional>

#include "console/process_heap.h"
#include "console/std_stream.h"

namespace tembra {

OutputLineBuffer OutputLineBuffer::make() {
  return OutputLineBuffer(static_cast<char*>(heap_allocate(kCapacity)));
}

std::expected<void, WriteError> OutputLineBuffer::write(std::string_view piece) {
  const std::size_t last_line_feed = piece.rfind('\n');
  if (last_line_feed == std::string_view::npos) {
    if (filled_ != 0 && bytes_[filled_ - 1] == '\n') {
      if (auto flushed = flush(); !flushed) {
        return flushed;
      }
    }
    return store(piece);
  }
  const std::string_view head = piece.substr(0, last_line_feed + 1);
  const std::string_view tail = piece.substr(last_line_feed + 1);
  if (filled_ == 0) {
    if (auto written = write_whole(StdStream::Out, head); !written) {
      return written;
    }
  } else {
    if (auto stored = store(head); !stored) {
      return stored;
    }
    if (auto flushed = flush(); !flushed) {
      return flushed;
    }
  }
  return store(tail);
}

std::expected<void, WriteError> OutputLineBuffer::store(std::string_view bytes) {
  if (bytes.size() < free_space()) {
    if (!bytes.empty()) {
      std::memcpy(bytes_.get() + filled_, bytes.data(), bytes.size());
      filled_ += bytes.size();
    }
    return {};
  }
  if (bytes.size() > free_space()) {
    if (auto flushed = flush(); !flushed) {
      return flushed;
    }
  }
  if (bytes.size() < capacity()) {
    std::memcpy(bytes_.get() + filled_, bytes.data(), bytes.size());
    filled_ += bytes.size();
    return {};
  }
  return write_whole(StdStream::Out, bytes);
}

std::expected<void, WriteError> OutputLineBuffer::flush() {
  std::size_t written = 0;
  std::optional<WriteError> error;
  while (written < filled_) {
    auto count = write_std_handle(StdStream::Out,
                                  std::string_view(bytes_.get() + written, filled_ - written));
    if (!count) {
      if (is_invalid_handle(count.error())) {
        written = filled_;
        break;
      }
      error.emplace(count.error());
      break;
    }
    if (*count == 0) {
      error.emplace(WriteFailure::BufferedDataNotWritten);
      break;
    }
    written += *count;
  }
  // What went out leaves the buffer, whatever the outcome.
  if (written != 0) {
    std::memmove(bytes_.get(), bytes_.get() + written, filled_ - written);
    filled_ -= written;
  }
  if (error) {
    return std::unexpected(*error);
  }
  return {};
}

void OutputLineBuffer::finish() {
  (void)flush();
  bytes_.reset();
  filled_ = 0;
}

namespace {

// Constant-initialised at namespace scope: no guarded first use, which the runtime would have to
// make thread-safe.
constinit std::optional<OutputLineBuffer> stdout_buffer;

std::optional<OutputLineBuffer>& stdout_slot() {
  return stdout_buffer;
}

}  // namespace

OutputLineBuffer& stdout_line_buffer() {
  assert(stream_state(StdStream::Out).lock.held_by_this_thread());
  auto& slot = stdout_slot();
  if (!slot) {
    slot.emplace(OutputLineBuffer::make());
  }
  return *slot;
}

bool stdout_line_buffer_made() {
  return stdout_slot().has_value();
}

void finish_stdout_line_buffer() {
  auto& slot = stdout_slot();
  if (slot) {
    slot->finish();
  } else {
    slot.emplace(OutputLineBuffer::unbuffered());
  }
}

void forget_stdout_line_buffer() {
  stdout_slot().reset();
}

}  // namespace tembra
