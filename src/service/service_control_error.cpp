#include "service/service_control_error.h"

#include <optional>

#include "base/indented_writer.h"

namespace tembra {

namespace {

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;  // clang 16 does not deduce aggregates

// One field of a diagnostic tuple: text quoted, numbers in decimal, errors in their own form.
using Field = std::variant<std::string_view, std::uint64_t, std::int64_t, const ErrorObject*>;

[[nodiscard]] SinkResult write_field(TextSink& sink, const Field& field, bool alternate) {
  return std::visit(
      Overloaded{
          [&](std::string_view text) { return write_pieces(sink, Quoted{text}); },
          [&](std::uint64_t value) { return write_pieces(sink, Decimal{value}); },
          [&](std::int64_t value) { return write_pieces(sink, Decimal{value}); },
          [&](const ErrorObject* error) { return error->write_debug(sink, alternate); },
      },
      field);
}

// In the alternate form a field has a line of its own, one level deeper than the tuple's name,
// and a comma after it; in the plain form it follows a comma, unless it is the first.
[[nodiscard]] SinkResult write_tuple_field(TextSink& sink, const Field& field, bool first,
                                           bool alternate) {
  auto value = [&](TextSink& out) { return write_field(out, field, alternate); };
  if (alternate) {
    return write_pieces(sink, indented(std::nullopt, value), ",\n");
  }
  return first ? write_pieces(sink, value) : write_pieces(sink, ", ", value);
}

// Name(field, field) or, in the alternate form, one field per line.
[[nodiscard]] SinkResult write_tuple(TextSink& sink, std::string_view name,
                                     std::initializer_list<Field> fields, bool alternate) {
  if (fields.size() == 0) {
    return write_pieces(sink, name);
  }
  auto each_field = [&](TextSink& out) -> SinkResult {
    bool first = true;
    for (const Field& field : fields) {
      if (auto written = write_tuple_field(out, field, first, alternate); !written) {
        return written;
      }
      first = false;
    }
    return {};
  };
  return write_pieces(sink, name, alternate ? "(\n" : "(", each_field, ")");
}

}  // namespace

SinkResult RawValueError::write_display(TextSink& sink) const {
  return std::visit(
      Overloaded{
          [&](const InvalidInteger& e) {
            return write_pieces(sink,
                                "invalid unsigned integer for the target type: ", Decimal{e.value});
          },
          [&](const InvalidIntegerSigned& e) {
            return write_pieces(sink,
                                "invalid signed integer for the target type: ", Decimal{e.value});
          },
          [&](const InvalidGuid& e) {
            return write_pieces(sink, "invalid GUID value for the target type: ", e.text);
          },
      },
      kind_);
}

SinkResult RawValueError::write_debug(TextSink& sink, bool alternate) const {
  return std::visit(
      Overloaded{
          [&](const InvalidInteger& e) {
            return write_tuple(sink, "InvalidInteger", {std::uint64_t{e.value}}, alternate);
          },
          [&](const InvalidIntegerSigned& e) {
            return write_tuple(sink, "InvalidIntegerSigned", {std::int64_t{e.value}}, alternate);
          },
          [&](const InvalidGuid& e) {
            return write_tuple(sink, "InvalidGuid", {std::string_view(e.text)}, alternate);
          },
      },
      kind_);
}

ServiceControlError ServiceControlError::last_winapi_error() {
  return ServiceControlError(Winapi{OsError::last()});
}

SinkResult ServiceControlError::write_display(TextSink& sink) const {
  return std::visit(
      Overloaded{
          [&](const LaunchArgumentsNotSupported&) {
            return write_pieces(sink, "kernel drivers do not support launch arguments");
          },
          [&](const ParseValue& e) { return write_pieces(sink, "invalid ", e.label, " value"); },
          [&](const ArgumentHasNulByte& e) {
            return write_pieces(sink, e.label, " contains a nul byte");
          },
          [&](const ArgumentArrayElementHasNulByte& e) {
            return write_pieces(sink, e.label, " contains a nul byte in element at ",
                                Decimal{e.index}, " index");
          },
          [&](const Winapi&) { return write_pieces(sink, "IO error in winapi call"); },
      },
      kind_);
}

const ErrorObject* ServiceControlError::cause() const {
  if (const auto* parse = std::get_if<ParseValue>(&kind_)) {
    return &parse->raw_value;
  }
  if (const auto* winapi = std::get_if<Winapi>(&kind_)) {
    return &winapi->os_error;
  }
  return nullptr;
}

SinkResult ServiceControlError::write_debug(TextSink& sink, bool alternate) const {
  return std::visit(
      Overloaded{
          [&](const LaunchArgumentsNotSupported&) {
            return write_tuple(sink, "LaunchArgumentsNotSupported", {}, alternate);
          },
          [&](const ParseValue& e) {
            return write_tuple(sink, "ParseValue", {e.label, &e.raw_value}, alternate);
          },
          [&](const ArgumentHasNulByte& e) {
            return write_tuple(sink, "ArgumentHasNulByte", {e.label}, alternate);
          },
          [&](const ArgumentArrayElementHasNulByte& e) {
            return write_tuple(sink, "ArgumentArrayElementHasNulByte",
                               {e.label, std::uint64_t{e.index}}, alternate);
          },
          [&](const Winapi& e) { return write_tuple(sink, "Winapi", {&e.os_error}, alternate); },
      },
      kind_);
}

}  // namespace tembra
