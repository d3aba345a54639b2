// utf8_to_utf16 and WideNulString::from_utf8 on arbitrary bytes. The input is copied into a
// buffer of exactly its size, so AddressSanitizer catches any read past the end. Their storage
// comes from the simulated heap, which has every block back once they are gone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "base/utf.h"
#include "check.h"
#include "platform/sim/reference_utf.h"
#include "platform/sim/simulator.h"
#include "service/utf16_buffer.h"
#include "service/wide_nul_string.h"

using namespace tembra;

namespace {

void check_conversions(std::string_view text) {
  const Utf16Buffer converted = utf8_to_utf16(text);
  check(converted.capacity() >= converted.length());
  const std::u16string expected = reference::encode_utf16(reference::decode_utf8_replacing(text));
  check(converted.view() == std::u16string_view(expected));

  // Replacement keeps the result well-formed, and well-formed input comes back unchanged.
  const auto back = utf16_to_utf8(converted.view());
  check(back.has_value());
  if (reference::is_valid_utf8(text)) {
    check(*back == text);
  }

  // A zero unit is allowed only as the last one; the string then has storage of exactly its
  // length plus the terminator, and no other zero.
  const std::size_t nul = text.find('\0');
  const bool interior_nul = nul != std::string_view::npos && nul + 1 != text.size();
  const auto wide = WideNulString::from_utf8(text);
  check(wide.has_value() != interior_nul);
  if (wide.has_value()) {
    const bool ends_in_nul = nul != std::string_view::npos;
    const std::size_t size_with_nul = wide->size_with_nul();
    check(size_with_nul == expected.size() + (ends_in_nul ? 0 : 1));
    const std::u16string_view units(wide->c_str(), size_with_nul);
    check(units.back() == 0);
    check(units.find(u'\0') == size_with_nul - 1);
    check(units.substr(0, size_with_nul - 1) ==
          std::u16string_view(expected).substr(0, size_with_nul - 1));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::make_unique<char[]>(size == 0 ? 1 : size);
  if (size != 0) {
    std::memcpy(bytes.get(), data, size);
  }
  sim::reset();
  check_conversions(std::string_view(bytes.get(), size));
  check(sim::live_heap_blocks() == 0 && sim::bad_heap_releases().empty());
  return 0;
}
