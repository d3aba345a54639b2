#include "console/write_error.h"

#include <array>
#include <string_view>
#include <utility>

namespace tembra {

namespace {

// By WriteFailure, in the order of its values.
constexpr std::array<std::string_view, 3> kMessages = {
    "Windows stdio in console mode does not support writing non-UTF-8 byte sequences",
    "failed to write whole buffer",
    "failed to write the buffered data",
};
// By WriteErrorKind, in the order of its values.
constexpr std::array<std::string_view, 3> kKindNames = {"Os", "InvalidData", "WriteZero"};

std::string_view message_of(WriteFailure failure) {
  return kMessages[std::to_underlying(failure)];
}

}  // namespace

WriteErrorKind WriteError::kind() const {
  if (std::holds_alternative<OsError>(error_)) {
    return WriteErrorKind::Os;
  }
  return std::get<WriteFailure>(error_) == WriteFailure::NonUtf8OnConsole
             ? WriteErrorKind::InvalidData
             : WriteErrorKind::WriteZero;
}

SinkResult WriteError::write_display(TextSink& sink) const {
  if (const OsError* os = os_error()) {
    return os->write_display(sink);
  }
  return write_pieces(sink, message_of(std::get<WriteFailure>(error_)));
}

SinkResult WriteError::write_debug(TextSink& sink, bool alternate) const {
  if (const OsError* os = os_error()) {
    return os->write_debug(sink, alternate);
  }
  return write_pieces(sink, "Error { kind: ", kKindNames[std::to_underlying(kind())],
                      ", message: ", Quoted{message_of(std::get<WriteFailure>(error_))}, " }");
}

}  // namespace tembra
