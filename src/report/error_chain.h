// The error that ends a run, carried from the failing step to the failure report.
#pragma once

#include "report/text_sink.h"
#include "service/service_control_error.h"

class ErrorChain {
 public:
  // Takes the error at the failing step, before any handle is released.
  static ErrorChain wrap(ServiceControlError error);

  ErrorChain(ErrorChain&& other) noexcept;
  ErrorChain& operator=(ErrorChain&& other) noexcept;
  ErrorChain(const ErrorChain&) = delete;
  ErrorChain& operator=(const ErrorChain&) = delete;
  ~ErrorChain();

  const ServiceControlError& error() const;

  // The error's display text, then its causes; stops at the first refused write.
  SinkResult write_chain(TextSink& sink) const;

 private:
  struct Record;
  explicit ErrorChain(Record* record) : record_(record) {}
  void release();

  Record* record_;
};

// Writes "Error: ", the chain text and a line feed on standard error, as far as standard
// error takes them; releases the chain. The exit status of a failed run: 1.
int report_failure(ErrorChain chain);
