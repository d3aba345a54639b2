// The report's indented writer fed a cause text cut into arbitrary pieces: whatever the cuts,
// the output equals the whole text laid out at once (prefix first, the continuation indent after
// every line break), and every byte of the text arrives exactly once.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/indented_writer.h"
#include "check.h"
#include "pieces.h"

using namespace tembra;

namespace {

std::string reference_layout(std::string_view text, std::optional<std::size_t> number) {
  std::string prefix = "    ";
  if (number) {
    std::string digits = std::to_string(*number);
    prefix = std::string(digits.size() < 5 ? 5 - digits.size() : 0, ' ') + digits + ": ";
  }
  const std::string indent = number ? "       " : "    ";
  std::string out = prefix;
  for (char c : text) {
    out += c;
    if (c == '\n') {
      out += indent;
    }
  }
  return out;
}

}  // namespace

// Input: one byte choosing the layout and number, then the text; each 0x01 byte in the text is
// a cut between two pieces and is not part of the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::optional<std::size_t> number =
      (data[0] & 1) != 0 ? std::optional<std::size_t>((data[0] >> 1) * 4099u) : std::nullopt;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  StringSink sink;
  IndentedWriter writer(sink, number);
  std::string text;
  for (const std::string_view piece : split_pieces(input)) {
    check(writer.write_str(piece).has_value());
    text += piece;
  }
  check(sink.text() == reference_layout(text, number));
  return 0;
}
