#include "base/text_sink.h"

#include <cassert>

namespace tembra {

SinkResult StringSink::write_str(std::string_view text) {
  text_.append(text);
  return {};
}

namespace detail {

SinkResult write_piece(TextSink& sink, const Decimal& number) {
  const std::string_view text = number.text();
  if (text.starts_with('-')) {
    return write_pieces(sink, text.substr(0, 1), text.substr(1));
  }
  return write_pieces(sink, text);
}

SinkResult write_piece(TextSink& sink, PaddedDecimal number) {
  assert(number.width <= PaddedDecimal::kMostPaddedWidth);
  static constexpr std::string_view kSpaces = "                ";
  static_assert(kSpaces.size() == PaddedDecimal::kMostPaddedWidth);
  const NumberText digits = NumberText::decimal(number.value);
  const std::size_t width = digits.view().size();
  if (number.width <= width) {
    return write_pieces(sink, digits.view());
  }
  return write_pieces(sink, kSpaces.substr(0, number.width - width), digits.view());
}

SinkResult write_piece(TextSink& sink, Hex number) {
  return write_pieces(sink, NumberText::hex(number.value).view());
}

SinkResult write_piece(TextSink& sink, Quoted quoted) {
  const std::string_view text = quoted.text;
  auto escaped = [&](TextSink& out) -> SinkResult {
    std::size_t plain_start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      std::string_view escape;
      char control[4];
      switch (byte) {
        case '"':
          escape = "\\\"";
          break;
        case '\\':
          escape = "\\\\";
          break;
        case '\n':
          escape = "\\n";
          break;
        case '\r':
          escape = "\\r";
          break;
        case '\t':
          escape = "\\t";
          break;
        default:
          if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            control[0] = '\\';
            control[1] = 'x';
            control[2] = kHex[byte >> 4];
            control[3] = kHex[byte & 0xF];
            escape = std::string_view(control, sizeof control);
          }
          break;
      }
      if (escape.empty()) {
        continue;
      }
      if (auto written = write_pieces(out, text.substr(plain_start, i - plain_start), escape);
          !written) {
        return written;
      }
      plain_start = i + 1;
    }
    return write_pieces(out, text.substr(plain_start));
  };
  return write_pieces(sink, "\"", escaped, "\"");
}

}  // namespace detail

}  // namespace tembra
