// The console writer fed arbitrary byte pieces through a simulated console that may take fewer
// UTF-16 units than offered. Whatever the pieces and the console's answers: the console gets
// only whole characters, only bytes it was given and in their order, every well-formed
// character before the first ill-formed one, and a refusal only where the bytes are ill-formed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "console/print.h"
#include "console/std_stream.h"
#include "pieces.h"
#include "platform/sim/reference_utf.h"
#include "platform/sim/simulator.h"

using namespace tembra;

// Input: one byte whose low half is how many times the text repeats (1 to 16) and whose high
// half is how many console answers follow (0 to 15); one byte per answer, the most units that
// call of WriteConsoleW takes (1 + 17 * byte); then the text, where each 0x01 byte is a cut
// between two pieces and is not part of the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t repeats = 1 + (data[0] & 0x0F);
  const std::size_t answer_count = data[0] >> 4;
  if (size < 1 + answer_count) {
    return 0;
  }
  std::vector<DWORD> answers;
  for (std::size_t i = 0; i < answer_count; ++i) {
    answers.push_back(1 + 17 * static_cast<DWORD>(data[1 + i]));
  }
  const std::string_view input(reinterpret_cast<const char*>(data + 1 + answer_count),
                               size - 1 - answer_count);

  sim::reset();
  reset_output_for_tests();
  sim::set_std_handle(STD_ERROR_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_ERROR_HANDLE, answers);

  const std::vector<std::string_view> pieces = split_pieces(input);
  std::string fed;
  bool refused = false;
  for (std::size_t round = 0; round < repeats && !refused; ++round) {
    for (const std::string_view piece : pieces) {
      fed += piece;
      if (auto written = write_whole(StdStream::Err, piece); !written) {
        check(written.error().kind() == WriteErrorKind::InvalidData);
        refused = true;
        break;
      }
    }
  }

  // Never half a surrogate pair, so never part of a character.
  const auto characters = reference::decode_utf16(sim::console_units(STD_ERROR_HANDLE));
  check(characters.has_value());
  const std::string shown = reference::encode_utf8(*characters);
  // Only bytes it was given, in order, and none of the well-formed ones lost.
  check(std::string_view(fed).starts_with(shown));
  check(shown.size() == reference::well_formed_prefix_length(fed));

  const PendingUtf8& pending = stream_state(StdStream::Err).pending;
  if (refused) {
    check(shown.size() < fed.size());
    const auto sequence = reference::decode_utf8_sequence(fed, shown.size());
    check(!sequence.code_point && !sequence.cut_short);
  } else {
    // What has not reached the console is the start of a character still to be completed:
    // a lead byte and fewer continuation bytes than it asks for.
    check(shown.size() + pending.count == fed.size());
    check(std::string_view(fed).substr(shown.size()) == pending.stored());
    if (!pending.empty()) {
      check(pending.count < reference::sequence_width(pending.bytes[0]));
      for (std::size_t i = 1; i < pending.count; ++i) {
        check((pending.bytes[i] & 0xC0) == 0x80);
      }
    }
  }
  reset_output_for_tests();
  return 0;
}
