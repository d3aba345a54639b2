#include "report/stack_backtrace.h"

#include "base/text_sink.h"
#include "base/utf.h"
#include "base/white_space.h"
#include "platform/stack_frames.h"
#include "report/backtrace_switch.h"

namespace tembra {

namespace {

constexpr std::size_t kFrameNumberWidth = 4;
constexpr std::string_view kOwnHeading = "stack backtrace:";

// The module's file name without its folder; empty when the path is unknown or not valid UTF-16.
std::string module_name(const FrameLocation& at) {
  auto path = utf16_to_utf8({at.module_path.data(), at.module_path_length});
  if (!path) {
    return {};
  }
  // Without a separator, npos + 1 is 0 and the whole path is the name.
  path->erase(0, path->find_last_of("\\/") + 1);
  return std::move(*path);
}

[[nodiscard]] SinkResult write_frame(TextSink& sink, std::size_t number, const void* address) {
  const FrameLocation at = describe_frame(address);
  const std::string module = module_name(at);
  const PaddedDecimal number_field{number, kFrameNumberWidth};
  auto module_and_offset = [&](TextSink& out) {
    return write_pieces(out, module, "+0x", Hex{at.module_offset});
  };
  if (!at.symbol.empty()) {
    if (module.empty()) {
      return write_pieces(sink, number_field, ": ", at.symbol, "+0x", Hex{at.symbol_offset}, "\n");
    }
    return write_pieces(sink, number_field, ": ", at.symbol, "+0x", Hex{at.symbol_offset},
                        "\n             at ", module_and_offset, "\n");
  }
  if (!module.empty()) {
    return write_pieces(sink, number_field, ": ", module_and_offset, "\n");
  }
  return write_pieces(sink, number_field, ": <unknown> at 0x",
                      Hex{reinterpret_cast<std::uintptr_t>(address)}, "\n");
}

}  // namespace

StackBacktrace StackBacktrace::capture() {
  if (!backtrace_wanted()) {
    return disabled();
  }
  StackBacktrace backtrace(State::Unsupported);
  backtrace.count_ = capture_frames(backtrace.frames_.data(), backtrace.frames_.size());
  if (backtrace.count_ != 0) {
    backtrace.state_ = State::Captured;
  }
  return backtrace;
}

std::string StackBacktrace::render() const {
  StringSink text;
  for (std::size_t i = 0; i < count_; ++i) {
    (void)write_frame(text, i, frames_[i]);
  }
  return text.take();
}

SinkResult write_backtrace_section(TextSink& sink, std::string_view rendered) {
  const std::string_view text = without_trailing_white_space(rendered);
  if (text.starts_with(kOwnHeading)) {
    return write_pieces(sink, "\n\nS", text.substr(1));
  }
  return write_pieces(sink, "\n\nStack backtrace:\n", text);
}

}  // namespace tembra
