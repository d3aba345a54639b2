#include "base/text_sink.h"

#include "base/number_text.h"

namespace tembra {

SinkResult write_decimal(TextSink& sink, std::uint64_t value) {
  return sink.write_str(NumberText::decimal(value).view());
}

SinkResult write_decimal_padded(TextSink& sink, std::uint64_t value, std::size_t width) {
  const NumberText number = NumberText::decimal(value);
  const std::string_view digits = number.view();
  static constexpr std::string_view kSpaces = "                ";
  for (std::size_t fill = width > digits.size() ? width - digits.size() : 0; fill != 0;) {
    const std::size_t part = fill < kSpaces.size() ? fill : kSpaces.size();
    if (auto r = sink.write_str(kSpaces.substr(0, part)); !r) {
      return r;
    }
    fill -= part;
  }
  return sink.write_str(digits);
}

SinkResult write_hex(TextSink& sink, std::uint64_t value) {
  return sink.write_str(NumberText::hex(value).view());
}

SinkResult write_decimal(TextSink& sink, std::int64_t value) {
  const NumberText number = NumberText::decimal(value);
  std::string_view digits = number.view();
  // The sign is a piece of its own: a sink on a stream writes each piece as it comes.
  if (value < 0) {
    if (auto written = sink.write_str(digits.substr(0, 1)); !written) {
      return written;
    }
    digits.remove_prefix(1);
  }
  return sink.write_str(digits);
}

SinkResult StringSink::write_str(std::string_view text) {
  text_.append(text);
  return {};
}

SinkResult write_quoted(TextSink& sink, std::string_view text) {
  if (auto opened = sink.write_str("\""); !opened) {
    return opened;
  }
  std::size_t plain_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const char* escape = nullptr;
    char control[8];
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
          control[4] = '\0';
          escape = control;
        }
        break;
    }
    if (escape == nullptr) {
      continue;
    }
    if (auto r = sink.write_str(text.substr(plain_start, i - plain_start)); !r) {
      return r;
    }
    if (auto r = sink.write_str(escape); !r) {
      return r;
    }
    plain_start = i + 1;
  }
  if (auto r = sink.write_str(text.substr(plain_start)); !r) {
    return r;
  }
  return sink.write_str("\"");
}

}  // namespace tembra
