// What every error kind of the program offers: a display text, a cause, a diagnostic form.
#pragma once

#include "base/text_sink.h"

namespace tembra {

class ErrorObject {
 public:
  // The one-line text shown to people; written piece by piece into the sink.
  [[nodiscard]] virtual SinkResult write_display(TextSink& sink) const = 0;
  // The error underneath this one, or null. Valid for as long as this error lives.
  virtual const ErrorObject* cause() const = 0;
  // The kind and its payload, for programmers; `alternate` puts each field on its own line.
  [[nodiscard]] virtual SinkResult write_debug(TextSink& sink, bool alternate) const = 0;

 protected:
  ErrorObject() = default;
  ErrorObject(const ErrorObject&) = default;
  ErrorObject& operator=(const ErrorObject&) = default;
  ~ErrorObject() = default;
};

}  // namespace tembra
