#include "report/error_chain.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "console/fatal.h"
#include "console/print.h"
#include "report/indented_writer.h"

namespace tembra {

// What the chain does with the error it holds, without knowing its kind.
struct ChainOperations {
  void (*release)(ErrorChain::Record* record);
  const ErrorObject& (*view_as_error)(const ErrorChain::Record& record);
};

// The members' lifetimes are managed by hand, so that release can end them in its own order.
struct ErrorChain::Record {
  Record(const ChainOperations& table, StackBacktrace taken, ServiceControlError wrapped)
      : operations(&table) {
    std::construct_at(&backtrace, taken);
    std::construct_at(&error, std::move(wrapped));
  }
  ~Record() {}

  const ChainOperations* operations;
  union {
    StackBacktrace backtrace;
  };
  union {
    ServiceControlError error;
  };
};

namespace {

void release_service_control_error(ErrorChain::Record* record) {
  std::destroy_at(&record->backtrace);
  std::destroy_at(&record->error);
  std::destroy_at(record);
  std::free(record);
}

const ErrorObject& view_service_control_error(const ErrorChain::Record& record) {
  return record.error;
}

constexpr ChainOperations kServiceControlErrorOperations = {
    &release_service_control_error,
    &view_service_control_error,
};

}  // namespace

ErrorChain ErrorChain::wrap(ServiceControlError error) {
  // The stack is taken first, while only the failing step's frames are above this one.
  StackBacktrace backtrace = StackBacktrace::capture();
  void* storage = std::malloc(sizeof(Record));
  if (storage == nullptr) {
    fatal_allocation_failure(sizeof(Record));
  }
  return ErrorChain(new (storage)
                        Record(kServiceControlErrorOperations, backtrace, std::move(error)));
}

ErrorChain::ErrorChain(ErrorChain&& other) noexcept
    : record_(std::exchange(other.record_, nullptr)) {}

ErrorChain& ErrorChain::operator=(ErrorChain&& other) noexcept {
  if (this != &other) {
    release();
    record_ = std::exchange(other.record_, nullptr);
  }
  return *this;
}

ErrorChain::~ErrorChain() {
  release();
}

void ErrorChain::release() {
  if (Record* record = std::exchange(record_, nullptr); record != nullptr) {
    record->operations->release(record);
  }
}

const ServiceControlError& ErrorChain::error() const {
  return record_->error;
}

const StackBacktrace& ErrorChain::backtrace() const {
  return record_->backtrace;
}

SinkResult ErrorChain::write_chain(TextSink& sink) const {
  return write_chain_text(sink, record_->operations->view_as_error(*record_), record_->backtrace);
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
