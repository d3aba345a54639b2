// Formatted prints to the standard streams. The pieces of a print reach the stream as soon as
// they exist, one after another.
#pragma once

#include <type_traits>
#include <utility>

#include "base/text_sink.h"

namespace tembra {

// What a print does when a write fails.
enum class OnWriteFailure {
  EndProcess,  // "failed printing to <stream>: <error>", then the fail-fast ending
  DropRest,    // the rest of the print is lost; the caller goes on
};

// A non-owning reference to the code that writes one print's pieces into the stream's sink.
class PrintBody {
 public:
  template <class F>
  requires std::is_invocable_r_v<SinkResult, F&, TextSink&> PrintBody(
      F& body)  // NOLINT(google-explicit-constructor)
      : object_(&body), call_([](void* object, TextSink& sink) -> SinkResult {
          return (*static_cast<F*>(object))(sink);
        }) {}

  [[nodiscard]] SinkResult operator()(TextSink& sink) const { return call_(object_, sink); }

 private:
  void* object_;
  SinkResult (*call_)(void*, TextSink&);
};

void print_out_body(PrintBody body);
void print_err_body(PrintBody body, OnWriteFailure on_failure);

// The pieces are those write_pieces takes (base/text_sink.h): text, errors, numbers, code.
template <class... Pieces>
void print_out(const Pieces&... pieces) {
  auto body = [&](TextSink& sink) { return write_pieces(sink, pieces...); };
  print_out_body(body);
}

template <class... Pieces>
void print_err(const Pieces&... pieces) {
  auto body = [&](TextSink& sink) { return write_pieces(sink, pieces...); };
  print_err_body(body, OnWriteFailure::EndProcess);
}

// For the failure report: a failed write drops the rest of the report, nothing more.
inline void print_err_best_effort(PrintBody body) {
  print_err_body(body, OnWriteFailure::DropRest);
}

// At the end of the run: whatever standard output still holds goes out, and later output is
// no longer buffered.
void finish_output();

// For tests: both streams as at the start of a run (no buffer made, nothing pending, the locks
// free).
void reset_output_for_tests();

}  // namespace tembra
