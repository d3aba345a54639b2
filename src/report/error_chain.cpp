#include "report/error_chain.h"

#include <memory>
#include <optional>
#include <utility>

#include "base/indented_writer.h"
#include "console/print.h"

namespace tembra {

ErrorChain ErrorChain::wrap(ServiceControlError error) {
  // The stack is taken first, while only the failing step's frames are above this one.
  StackBacktrace backtrace = StackBacktrace::capture();
  return ErrorChain(std::make_unique<Record>(std::move(error), backtrace));
}

SinkResult ErrorChain::write_chain(TextSink& sink) const {
  return write_chain_text(sink, record().error, record().backtrace);
}

namespace {

// "\n\nCaused by:", then each cause on a line of its own through an IndentedWriter, numbered
// from 0 when there are two or more.
[[nodiscard]] SinkResult write_causes(TextSink& sink, const ErrorObject& first) {
  const bool numbered = first.cause() != nullptr;
  auto each_cause = [&](TextSink& out) -> SinkResult {
    std::size_t index = 0;
    for (const ErrorObject* cause = &first; cause != nullptr; cause = cause->cause(), ++index) {
      const auto number = numbered ? std::optional(index) : std::nullopt;
      if (auto written = write_pieces(out, "\n", indented(number, *cause)); !written) {
        return written;
      }
    }
    return {};
  };
  return write_pieces(sink, "\n\nCaused by:", each_cause);
}

}  // namespace

SinkResult write_chain_text(TextSink& sink, const ErrorObject& error,
                            const StackBacktrace& backtrace) {
  auto causes = [&](TextSink& out) -> SinkResult {
    const ErrorObject* cause = error.cause();
    return cause == nullptr ? SinkResult() : write_causes(out, *cause);
  };
  auto backtrace_section = [&](TextSink& out) -> SinkResult {
    if (backtrace.state() != StackBacktrace::State::Captured) {
      return {};
    }
    return write_backtrace_section(out, backtrace.render());
  };
  return write_pieces(sink, error, causes, backtrace_section);
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
