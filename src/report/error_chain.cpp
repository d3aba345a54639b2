#include "report/error_chain.h"

#include <cstdlib>
#include <new>
#include <optional>
#include <utility>

#include "console/fatal.h"
#include "console/print.h"

struct ErrorChain::Record {
  ServiceControlError error;
};

ErrorChain ErrorChain::wrap(ServiceControlError error) {
  void* storage = std::malloc(sizeof(Record));
  if (storage == nullptr) {
    fatal_allocation_failure(sizeof(Record));
  }
  return ErrorChain(new (storage) Record{std::move(error)});
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
  if (record_ != nullptr) {
    record_->~Record();
    std::free(record_);
    record_ = nullptr;
  }
}

const ServiceControlError& ErrorChain::error() const {
  return record_->error;
}

namespace {

// Writes one cause with its prefix, and the continuation indent after each line break.
class IndentedWriter final : public TextSink {
 public:
  IndentedWriter(TextSink& sink, std::optional<std::size_t> number)
      : sink_(sink), number_(number) {}

  SinkResult write_str(std::string_view piece) override {
    for (std::size_t segment = 0;; ++segment) {
      const std::size_t line_end = piece.find('\n');
      const std::string_view text = piece.substr(0, line_end);
      SinkResult written;
      if (!started_) {
        started_ = true;
        written = write_pieces(
            sink_, [&](TextSink&) { return write_prefix(); }, text);
      } else if (segment > 0) {
        written = write_pieces(sink_, "\n", number_ ? "       " : "    ", text);
      } else {
        written = sink_.write_str(text);
      }
      if (!written || line_end == std::string_view::npos) {
        return written;
      }
      piece.remove_prefix(line_end + 1);
    }
  }

 private:
  SinkResult write_prefix() {
    if (!number_) {
      return sink_.write_str("    ");
    }
    // The number right-aligned in five columns, then ": ".
    StringSink digits;
    (void)write_piece(digits, UnsignedDecimal{*number_});
    const std::size_t width = digits.text().size();
    const std::string padding(width < 5 ? 5 - width : 0, ' ');
    return write_pieces(sink_, padding, digits.text(), ": ");
  }

  TextSink& sink_;
  std::optional<std::size_t> number_;
  bool started_ = false;
};

}  // namespace

SinkResult ErrorChain::write_chain(TextSink& sink) const {
  const ErrorObject& outer = record_->error;
  if (auto r = outer.write_display(sink); !r) {
    return r;
  }
  const ErrorObject* cause = outer.cause();
  if (cause == nullptr) {
    return {};
  }
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
  return {};
}

int report_failure(ErrorChain chain) {
  auto body = [&](TextSink& sink) {
    return write_pieces(
        sink, "Error: ", [&](TextSink& out) { return chain.write_chain(out); }, "\n");
  };
  print_err_best_effort(body);
  return 1;
}
