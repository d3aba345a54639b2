#include "console/print.h"

#include <memory>
#include <optional>
#include <string>

#include "console/fatal.h"
#include "console/line_buffer.h"
#include "console/std_stream.h"

namespace tembra {

namespace {

// Hands each piece of a print to its stream as soon as it exists and keeps the first write
// error; the pieces after it are not produced.
class StreamSink final : public TextSink {
 public:
  explicit StreamSink(StdStream stream) : stream_(stream) {}

  [[nodiscard]] SinkResult write_str(std::string_view text) override {
    auto written =
        stream_ == StdStream::Out ? stdout_line_buffer().write(text) : write_whole(stream_, text);
    if (!written) {
      error_.emplace(written.error());
      return std::unexpected(SinkFailed{});
    }
    return {};
  }

  const std::optional<WriteError>& error() const { return error_; }

 private:
  StdStream stream_;
  std::optional<WriteError> error_;
};

// Writes one print under the stream's lock; the first write error, if any.
std::optional<WriteError> write_locked(StdStream stream, PrintBody body) {
  StreamLockGuard guard(stream_state(stream).lock);
  if (stream == StdStream::Out) {
    (void)stdout_line_buffer();
  }
  StreamSink sink(stream);
  (void)body(sink);
  return sink.error();
}

void print_to(StdStream stream, PrintBody body, OnWriteFailure on_failure) {
  const std::optional<WriteError> error = write_locked(stream, body);
  if (!error || on_failure == OnWriteFailure::DropRest) {
    return;
  }
  fatal_internal_fault(text_of("failed printing to ", stream_name(stream), ": ", *error));
}

}  // namespace

void print_out_body(PrintBody body) {
  print_to(StdStream::Out, body, OnWriteFailure::EndProcess);
}

void print_err_body(PrintBody body, OnWriteFailure on_failure) {
  print_to(StdStream::Err, body, on_failure);
}

void finish_output() {
  StreamLock& lock = stream_state(StdStream::Out).lock;
  if (!stdout_line_buffer_made()) {
    StreamLockGuard guard(lock);
    finish_stdout_line_buffer();
    return;
  }
  // A thread stuck inside a print keeps its lock; its output is then left where it is.
  if (!lock.try_lock()) {
    return;
  }
  finish_stdout_line_buffer();
  lock.unlock();
}

void reset_output_for_tests() {
  forget_stdout_line_buffer();
  for (StdStream stream : {StdStream::Out, StdStream::Err}) {
    StreamState& state = stream_state(stream);
    // A test that stopped inside a print may have left the lock taken, on any thread.
    std::destroy_at(&state.lock);
    std::construct_at(&state.lock);
    state.pending.clear();
  }
}

}  // namespace tembra
