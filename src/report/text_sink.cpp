#include "report/text_sink.h"

SinkResult write_decimal(TextSink& sink, std::uint64_t value) {
  char digits[20];
  std::size_t start = sizeof digits;
  do {
    digits[--start] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return sink.write_str(std::string_view(digits + start, sizeof digits - start));
}

SinkResult write_decimal(TextSink& sink, std::int64_t value) {
  if (value >= 0) {
    return write_decimal(sink, static_cast<std::uint64_t>(value));
  }
  if (auto written = sink.write_str("-"); !written) {
    return written;
  }
  // Negating through unsigned arithmetic keeps the most negative value exact.
  return write_decimal(sink, std::uint64_t{0} - static_cast<std::uint64_t>(value));
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
