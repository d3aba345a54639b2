#include "console/print.h"

#include <optional>
#include <string>

#include "console/fatal.h"
#include "console/std_stream.h"

namespace {

// Hands each piece of a print to its stream and keeps the first write error.
class StreamSink final : public TextSink {
 public:
  explicit StreamSink(StdStream stream) : stream_(stream) {}

  SinkResult write_str(std::string_view text) override {
    auto written = write_whole(stream_, text);
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

void print_to(StdStream stream, PrintBody body, OnWriteFailure on_failure) {
  StreamSink sink(stream);
  (void)body(sink);
  if (!sink.error() || on_failure == OnWriteFailure::DropRest) {
    return;
  }
  StringSink message;
  (void)write_pieces(message, "failed printing to ", stream_name(stream), ": ", *sink.error());
  fatal_internal_fault(message.text());
}

}  // namespace

void print_out_body(PrintBody body) {
  print_to(StdStream::Out, body, OnWriteFailure::EndProcess);
}

void print_err_body(PrintBody body, OnWriteFailure on_failure) {
  print_to(StdStream::Err, body, on_failure);
}

void finish_output() {}
