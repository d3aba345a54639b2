// What the tests read of errors and their texts: the display text, and a sink that refuses.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "base/error_object.h"

namespace tembra {

// The error's display text, as a sink that takes everything receives it.
inline std::string display_text(const ErrorObject& error) {
  StringSink sink;
  EXPECT_TRUE(error.write_display(sink).has_value()) << "a display text refused by a StringSink";
  return sink.text();
}

// Takes the first `accepted` writes and refuses every later one; counts those tried after the
// first refusal.
class RefusingSink final : public TextSink {
 public:
  explicit RefusingSink(std::size_t accepted) : accepted_(accepted) {}

  SinkResult write_str(std::string_view text) override {
    if (accepted_ == 0) {
      if (refused_) {
        ++writes_after_refusal_;
      }
      refused_ = true;
      return std::unexpected(SinkFailed{});
    }
    --accepted_;
    text_.append(text);
    return {};
  }
  const std::string& text() const { return text_; }
  int writes_after_refusal() const { return writes_after_refusal_; }

 private:
  std::size_t accepted_;
  bool refused_ = false;
  int writes_after_refusal_ = 0;
  std::string text_;
};

}  // namespace tembra
