// The strict utf16_to_utf8 on arbitrary code units (pairs of input bytes), against a reference.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "base/utf.h"
#include "check.h"
#include "platform/sim/reference_utf.h"

using namespace tembra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t count = size / 2;
  const auto units = std::make_unique<WCHAR[]>(count == 0 ? 1 : count);
  for (std::size_t i = 0; i < count; ++i) {
    units[i] = static_cast<WCHAR>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::basic_string_view<WCHAR> view(units.get(), count);

  const auto converted = utf16_to_utf8(view);
  const auto expected = reference::decode_utf16(std::u16string_view(view.data(), view.size()));
  // Fails exactly when some surrogate is unpaired, and otherwise agrees with the reference.
  check(converted.has_value() == expected.has_value());
  check(!converted.has_value() || *converted == reference::encode_utf8(*expected));
  return 0;
}
