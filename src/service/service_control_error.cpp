#include "service/service_control_error.h"

#include <type_traits>

namespace tembra {

namespace {

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;  // clang 16 does not deduce aggregates

// Puts four spaces after every line break, so that a nested value's alternate form lines up
// one level deeper than its parent.
class NestedSink final : public TextSink {
 public:
  explicit NestedSink(TextSink& inner) : inner_(inner) {}
  [[nodiscard]] SinkResult write_str(std::string_view text) override {
    for (;;) {
      const std::size_t line_end = text.find('\n');
      if (auto r = inner_.write_str(text.substr(0, line_end)); !r) {
        return r;
      }
      if (line_end == std::string_view::npos) {
        return {};
      }
      if (auto r = inner_.write_str("\n    "); !r) {
        return r;
      }
      text.remove_prefix(line_end + 1);
    }
  }

 private:
  TextSink& inner_;
};

// One field of a diagnostic tuple: text quoted, numbers in decimal, errors in their own form.
using Field = std::variant<std::string_view, std::uint64_t, std::int64_t, const ErrorObject*>;

[[nodiscard]] SinkResult write_field(TextSink& sink, const Field& field, bool alternate) {
  return std::visit(
      Overloaded{
          [&](std::string_view text) { return write_quoted(sink, text); },
          [&](std::uint64_t value) { return write_decimal(sink, value); },
          [&](std::int64_t value) { return write_decimal(sink, value); },
          [&](const ErrorObject* error) { return error->write_debug(sink, alternate); },
      },
      field);
}

// Name(field, field) or, in the alternate form, one field per line, each followed by a comma.
[[nodiscard]] SinkResult write_tuple(TextSink& sink, std::string_view name,
                                     std::initializer_list<Field> fields, bool alternate) {
  if (auto r = sink.write_str(name); !r) {
    return r;
  }
  if (fields.size() == 0) {
    return {};
  }
  if (auto r = sink.write_str(alternate ? "(\n" : "("); !r) {
    return r;
  }
  bool first = true;
  for (const Field& field : fields) {
    if (alternate) {
      NestedSink nested(sink);
      if (auto r = write_pieces(nested, "    "); !r) {
        return r;
      }
      if (auto r = write_field(nested, field, true); !r) {
        return r;
      }
      if (auto r = sink.write_str(",\n"); !r) {
        return r;
      }
    } else {
      if (!first) {
        if (auto r = sink.write_str(", "); !r) {
          return r;
        }
      }
      if (auto r = write_field(sink, field, false); !r) {
        return r;
      }
    }
    first = false;
  }
  return sink.write_str(")");
}

}  // namespace

SinkResult RawValueError::write_display(TextSink& sink) const {
  return std::visit(
      Overloaded{
          [&](const InvalidInteger& e) {
            return write_pieces(
                sink, "invalid unsigned integer for the target type: ", UnsignedDecimal{e.value});
          },
          [&](const InvalidIntegerSigned& e) {
            return write_pieces(
                sink, "invalid signed integer for the target type: ", SignedDecimal{e.value});
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
            return sink.write_str("kernel drivers do not support launch arguments");
          },
          [&](const ParseValue& e) { return write_pieces(sink, "invalid ", e.label, " value"); },
          [&](const ArgumentHasNulByte& e) {
            return write_pieces(sink, e.label, " contains a nul byte");
          },
          [&](const ArgumentArrayElementHasNulByte& e) {
            return write_pieces(sink, e.label, " contains a nul byte in element at ",
                                UnsignedDecimal{e.index}, " index");
          },
          [&](const Winapi&) { return sink.write_str("IO error in winapi call"); },
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
