// The stack of the failing step, recorded when the error is wrapped, named when it is shown.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_sink.h"

namespace tembra {

class [[nodiscard]] StackBacktrace {
 public:
  enum class State {
    Disabled,     // the environment did not ask for one
    Unsupported,  // asked for, but the stack could not be walked
    Captured,
  };

  // Records the calling thread's frames when the environment asks for a backtrace.
  static StackBacktrace capture();
  static StackBacktrace disabled() { return StackBacktrace(State::Disabled); }
  static StackBacktrace unsupported() { return StackBacktrace(State::Unsupported); }

  State state() const { return state_; }
  std::size_t frame_count() const { return count_; }

  // One line per frame, with a second one naming the module when a symbol was found. Names
  // are looked up here, not at capture. Empty unless captured.
  std::string render() const;

 private:
  static constexpr std::size_t kMostFrames = 64;

  explicit StackBacktrace(State state) : state_(state) {}

  State state_;
  std::size_t count_ = 0;
  std::array<void*, kMostFrames> frames_{};
};

// "\n\n", then "Stack backtrace:\n" unless the text brings its own heading (whose first letter
// is then made upper case), then the text without its trailing white space.
[[nodiscard]] SinkResult write_backtrace_section(TextSink& sink, std::string_view rendered);

}  // namespace tembra
