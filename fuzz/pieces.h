// Fuzz inputs mark cuts with 0x01 bytes: the text between two cuts is one piece, handed to the
// writer under test on its own; the cuts are not part of the text.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

inline std::vector<std::string_view> split_pieces(std::string_view input) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t cut = input.find('\x01'); cut != std::string_view::npos;
       cut = input.find('\x01', start)) {
    pieces.push_back(input.substr(start, cut - start));
    start = cut + 1;
  }
  pieces.push_back(input.substr(start));
  return pieces;
}
