#include "console/write_error.h"

namespace tembra {

namespace {

std::string_view message_of(WriteFailure failure) {
  switch (failure) {
    case WriteFailure::NonUtf8OnConsole:
      return "Windows stdio in console mode does not support writing non-UTF-8 byte sequences";
    case WriteFailure::WholeBufferNotWritten:
      return "failed to write whole buffer";
    case WriteFailure::BufferedDataNotWritten:
      return "failed to write the buffered data";
  }
  return {};
}

std::string_view kind_name(WriteErrorKind kind) {
  switch (kind) {
    case WriteErrorKind::Os:
      return "Os";
    case WriteErrorKind::InvalidData:
      return "InvalidData";
    case WriteErrorKind::WriteZero:
      return "WriteZero";
  }
  return {};
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
  return write_pieces(sink, "Error { kind: ", kind_name(kind()),
                      ", message: ", Quoted{message_of(std::get<WriteFailure>(error_))}, " }");
}

}  // namespace tembra
