// Shared plumbing of the simulator's calls: the log, injected failures, handles, last error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/simulator.h"

namespace sim::detail {

void log_call(std::string line);
// A failure injected for this call of `function`, if any (consumes it).
std::optional<DWORD> take_failure(std::string_view function);
void set_last_error(DWORD code);
// A release call succeeded: the last error is kLeftoverLastError.
void leave_last_error_behind();

// Hands out a new handle value; `kind` names it in the log ("svc" gives "svc#3").
void* new_handle(std::string_view kind);
// A handle that the log names but that the program never closes (standard handles).
void* new_unowned_handle(std::string_view kind);
// The log's name for a handle value ("null" for null, "?0x..." for a value never handed out).
std::string label(const void* handle);
bool is_open(const void* handle);
// Records a close; false (and a bad close) when the handle is unknown or already closed.
bool close_handle(const void* handle);
// Called after a handle closed; the services area uses it to drop deleted services.
void on_handle_closed(const void* handle);

std::string hex(DWORD value);
std::string wide(LPCWSTR text);
// UTF-16 as UTF-8 for the log, an unpaired surrogate written as \uXXXX.
std::string utf8(std::u16string_view text);
// Strict UTF-8 to UTF-16, as the platform converts with MB_ERR_INVALID_CHARS.
std::optional<std::u16string> utf16(std::string_view text);
std::string ptr(const void* p);  // "null" or "ptr"

// Resets of the areas, called by sim::reset().
void reset_services();
void reset_messages();
void reset_streams();
void reset_environment();
void reset_timers();
void reset_heap();
void reset_stack();

// Finishes the write NtWriteFile left pending on a standard handle; false if there is none.
bool finish_pending_write(const void* handle);

}  // namespace sim::detail
