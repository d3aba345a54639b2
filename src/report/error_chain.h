// The error that ends a run, carried from the failing step to the failure report.
#pragma once

#include <cassert>
#include <memory>

#include "base/error_object.h"
#include "base/text_sink.h"
#include "report/stack_backtrace.h"
#include "service/service_control_error.h"

namespace tembra {

class [[nodiscard]] ErrorChain {
 public:
  // Takes the error at the failing step, before any handle is released, with the stack
  // backtrace if the environment asks for one.
  static ErrorChain wrap(ServiceControlError error);

  const StackBacktrace& backtrace() const { return record().backtrace; }

  // The error's display text, its causes, the backtrace section; stops at the first refused
  // write. The chain is unchanged and may be written again.
  [[nodiscard]] SinkResult write_chain(TextSink& sink) const;

 private:
  // On the heap, so that only the pointer moves. Members end in reverse order: the backtrace,
  // then the error; then the record itself is freed.
  struct Record {
    ServiceControlError error;
    StackBacktrace backtrace;
  };

  explicit ErrorChain(std::unique_ptr<Record> record) : record_(std::move(record)) {}
  // A moved-from chain is only destroyed or assigned to.
  const Record& record() const {
    assert(record_ != nullptr);
    return *record_;
  }

  // Never null, but once moved from.
  std::unique_ptr<Record> record_;
};

// The chain text of any error: its display text unchanged; "\n\nCaused by:" and each cause
// on a line of its own, numbered when there are two or more; then the backtrace section when
// one was captured. No final line break.
[[nodiscard]] SinkResult write_chain_text(TextSink& sink, const ErrorObject& error,
                                          const StackBacktrace& backtrace);

// Writes "Error: ", the chain text and a line feed on standard error, as far as standard
// error takes them; releases the chain. The exit status of a failed run: 1.
[[nodiscard]] int report_failure(ErrorChain chain);

}  // namespace tembra
