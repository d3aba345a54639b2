// What the tests read of errors and their texts: the display text, the diagnostic form, the calls
// a text is written in, and the writes refused one by one.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/error_object.h"

namespace tembra {

// The error's display text, as a sink that takes everything receives it.
inline std::string display_text(const ErrorObject& error) {
  StringSink sink;
  EXPECT_TRUE(error.write_display(sink).has_value()) << "a display text refused by a StringSink";
  return sink.text();
}

// The error's diagnostic form, plain or alternate, as a sink that takes everything receives it.
inline std::string debug_text(const ErrorObject& error, bool alternate) {
  StringSink sink;
  EXPECT_TRUE(error.write_debug(sink, alternate).has_value()) << "a diagnostic form refused";
  return sink.text();
}

// Keeps every call of write_str apart: a sink on a stream writes each one as it comes.
class CallSink final : public TextSink {
 public:
  SinkResult write_str(std::string_view text) override {
    calls.emplace_back(text);
    return {};
  }
  std::vector<std::string> calls;
};

template <class... Pieces>
std::vector<std::string> calls_of(const Pieces&... pieces) {
  CallSink sink;
  EXPECT_TRUE(write_pieces(sink, pieces...).has_value()) << "pieces refused by a CallSink";
  return sink.calls;
}

// Takes the first `accepted` writes and refuses every later one; counts the writes tried.
struct RefusingSink final : TextSink {
  explicit RefusingSink(std::size_t accepted) : accepted(accepted) {}
  SinkResult write_str(std::string_view piece) override {
    if (++tried > accepted) {
      return std::unexpected(SinkFailed{});
    }
    text.append(piece);
    return {};
  }
  std::size_t accepted;
  std::size_t tried = 0;
  std::string text;
};

// Refuses each write of `write` (code that writes into the sink it is given) in turn, from the
// first: the writes before the refusal stay written, as they come when none is refused, and
// nothing is tried after it. Gives the number of writes.
template <class Write>
std::size_t refusing_each_write(const Write& write) {
  CallSink all;
  EXPECT_TRUE(write(all).has_value()) << "refused by a sink that takes everything";
  std::string before;
  for (std::size_t accepted = 0; accepted < all.calls.size(); before += all.calls[accepted++]) {
    RefusingSink sink(accepted);
    EXPECT_FALSE(write(sink).has_value()) << "refused write " << accepted << " passed over";
    EXPECT_EQ(sink.text, before);
    EXPECT_EQ(sink.tried, accepted + 1) << "writes tried after the refusal";
  }
  RefusingSink sink(all.calls.size());
  EXPECT_TRUE(write(sink).has_value());
  EXPECT_EQ(sink.text, before);
  return all.calls.size();
}

}  // namespace tembra
