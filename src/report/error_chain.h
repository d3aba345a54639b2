// The error that ends a run, carried from the failing step to the failure report.
#pragma once

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

  ErrorChain(ErrorChain&& other) noexcept;
  ErrorChain& operator=(ErrorChain&& other) noexcept;
  ErrorChain(const ErrorChain&) = delete;
  ErrorChain& operator=(const ErrorChain&) = delete;
  ~ErrorChain();

  const ServiceControlError& error() const;
  const StackBacktrace& backtrace() const;

  // The heap record behind the handle; opaque outside error_chain.cpp.
  struct Record;

  // The error's display text, its causes, the backtrace section; stops at the first refused
  // write. The chain is unchanged and may be written again.
  [[nodiscard]] SinkResult write_chain(TextSink& sink) const;

 private:
  explicit ErrorChain(Record* record) : record_(record) {}
  // Drops the backtrace, then the error, then the record; once, whoever holds the chain.
  void release();

  Record* record_;
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
