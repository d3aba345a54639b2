#include "base/text_sink.h"

namespace tembra {

namespace {

// The digits of `value` in `base`, most significant first, in `buffer` (room for 64 digits).
std::string_view digits_of(std::uint64_t value, unsigned base, char (&buffer)[64]) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::size_t start = sizeof buffer;
  do {
    buffer[--start] = kDigits[value % base];
    value /= base;
  } while (value != 0);
  return std::string_view(buffer + start, sizeof buffer - start);
}

}  // namespace

SinkResult write_decimal(TextSink& sink, std::uint64_t value) {
  char buffer[64];
  return sink.write_str(digits_of(value, 10, buffer));
}

SinkResult write_decimal_padded(TextSink& sink, std::uint64_t value, std::size_t width) {
  char buffer[64];
  const std::string_view digits = digits_of(value, 10, buffer);
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
  char buffer[64];
  return sink.write_str(digits_of(value, 16, buffer));
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

}  // namespace tembra
