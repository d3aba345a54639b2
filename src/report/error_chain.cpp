#include "report/error_chain.h"

#include <memory>
#include <optional>
#include <utility>

#include "console/print.h"
#include "report/indented_writer.h"

namespace tembra {

ErrorChain ErrorChain::wrap(ServiceControlError error) {
  // The stack is taken first, while only the failing step's frames are above this one.
  StackBacktrace backtrace = StackBacktrace::capture();
  return ErrorChain(std::make_unique<Record>(std::move(error), backtrace));
}

SinkResult ErrorChain::write_chain(TextSink& sink) const {
  return write_chain_text(sink, record().error, record().backtrace);
}

SinkResult write_chain_text(TextSink& sink, const ErrorObject& error,
                            const StackBacktrace& backtrace) {
  if (auto r = error.write_display(sink); !r) {
    return r;
  }
  if (const ErrorObject* cause = error.cause(); cause != nullptr) {
    if (auto r = sink.write_str("\n\nCaused by:"); !r) {
      return r;
    }
    const bool numbered = cause->cause() != nullptr;
    for (std::size_t index = 0; cause != nullptr; ++index, cause = cause->cause()) {
      if (auto r = sink.write_str("\n"); !r) {
        return r;
      }
      IndentedWriter indented(sink, numbered ? std::optional(index) : std::nullopt);
      if (auto r = cause->write_display(indented); !r) {
        return r;
      }
    }
  }
  if (backtrace.state() != StackBacktrace::State::Captured) {
    return {};
  }
  return write_backtrace_section(sink, backtrace.render());
}

int report_failure(ErrorChain chain) {
  auto body = [&](TextSink& sink) {
    return write_pieces(
        sink, "Error: ", [&](TextSink& out) { return chain.write_chain(out); }, "\n");
  };
  print_err_best_effort(body);
  return 1;
}

}  // namespace tembra
