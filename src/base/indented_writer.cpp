#include "base/indented_writer.h"

namespace tembra {

namespace {

constexpr std::size_t kNumberWidth = 5;
constexpr std::string_view kNumberedIndent = "       ";
constexpr std::string_view kPlainIndent = "    ";

}  // namespace

SinkResult IndentedWriter::write_str(std::string_view piece) {
  // A text may come in several pieces: only the first segment of the first piece gets the
  // prefix, and a piece that starts mid-line continues it unchanged.
  for (std::size_t segment = 0;; ++segment) {
    const std::size_t line_end = piece.find('\n');
    const std::string_view text = piece.substr(0, line_end);
    SinkResult written;
    if (!started_) {
      started_ = true;
      written = write_pieces(
          sink_, [this](TextSink& out) { return write_prefix(out); }, text);
    } else if (segment > 0) {
      written = write_pieces(sink_, "\n", number_ ? kNumberedIndent : kPlainIndent, text);
    } else {
      written = write_pieces(sink_, text);
    }
    if (!written || line_end == std::string_view::npos) {
      return written;
    }
    piece.remove_prefix(line_end + 1);
  }
}

SinkResult IndentedWriter::write_prefix(TextSink& sink) const {
  if (!number_) {
    return write_pieces(sink, kPlainIndent);
  }
  return write_pieces(sink, PaddedDecimal{*number_, kNumberWidth}, ": ");
}

}  // namespace tembra
