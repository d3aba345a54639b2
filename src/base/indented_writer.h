// A sink in front of another that indents what is written through it: a prefix before the
// first piece, an indent after every line break. The failure report lays out each cause with
// one; the diagnostic renderings, each field of a value in their alternate form.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/text_sink.h"

namespace tembra {

class IndentedWriter final : public TextSink {
 public:
  // With a number, the prefix is the number right-aligned in five columns and ": ", and the
  // indent seven spaces; without one, both are four spaces.
  IndentedWriter(TextSink& sink, std::optional<std::size_t> number)
      : sink_(sink), number_(number) {}

  [[nodiscard]] SinkResult write_str(std::string_view piece) override;

 private:
  [[nodiscard]] SinkResult write_prefix(TextSink& sink) const;

  TextSink& sink_;
  std::optional<std::size_t> number_;
  bool started_ = false;
};

// A piece (base/text_sink.h) written through an IndentedWriter in front of the sink it goes to.
template <class Piece>
[[nodiscard]] auto indented(std::optional<std::size_t> number, const Piece& piece) {
  return [number, &piece](TextSink& sink) {
    IndentedWriter writer(sink, number);
    return write_pieces(writer, piece);
  };
}

}  // namespace tembra
