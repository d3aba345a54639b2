// The first bytes of a character that reached a console in more than one write.
#pragma once

#include <cassert>
#include <cstdint>
#include <string_view>

#include "base/utf.h"

namespace tembra {

struct PendingUtf8 {
  unsigned char bytes[kMaxUtf8SequenceBytes] = {};
  std::uint8_t count = 0;  // 0 to 3 between writes

  bool empty() const { return count == 0; }
  void clear() { count = 0; }
  // Only while fewer than kMaxUtf8SequenceBytes are stored.
  void push(unsigned char byte) {
    assert(count < kMaxUtf8SequenceBytes);
    bytes[count++] = byte;
  }
  std::string_view stored() const {
    return std::string_view(reinterpret_cast<const char*>(bytes), count);
  }
};

}  // namespace tembra
