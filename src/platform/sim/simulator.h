// How tests drive the simulated platform.
//
// The simulator is one machine per process: `sim::reset()` gives a fresh one. Every simulated
// platform call appends one line to the call log, written as
//
//     Name(arg, arg, ...) = result
//
// Handles appear by kind and number ("scm#1", "svc#2", "timer#3", "stdout#4"), null pointers as
// "null", wide strings as u"text", access masks and flags in hex (0x10024), counts and codes in
// decimal. Each simulated call can be made to fail with `sim::fail_next`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/win32_sim.h"
#include "platform/stack_frames.h"

namespace sim {

// Forgets every call, handle, injected failure, service and stream: a fresh machine.
void reset();

// ---- Call log -------------------------------------------------------------------------------

const std::vector<std::string>& calls();
// The log lines whose function name is one of `names`, in order.
std::vector<std::string> calls_to(std::initializer_list<std::string_view> names);
// The function name of a log line ("OpenServiceW" for "OpenServiceW(...) = ...").
std::string_view call_name(std::string_view line);

// ---- Failure injection ----------------------------------------------------------------------

// The `occurrence`-th call (1 = the next one) of `function` from now on fails. For calls that
// report an error code, `code` becomes the thread's last error; for NtWriteFile it is the
// NTSTATUS returned; WaitForSingleObject returns WAIT_FAILED with `code` as last error.
void fail_next(std::string_view function, DWORD code, int occurrence = 1);

// What the thread's last error holds after a call that released something: HeapFree,
// HeapReAlloc (whose old block goes), CloseHandle and CloseServiceHandle, even when they
// succeed. The platform does not promise to keep the last error across them, so code that reads
// an error only after releasing reads this instead.
inline constexpr DWORD kLeftoverLastError = 0x0BAD0BAD;

// ---- Handles --------------------------------------------------------------------------------

struct HandleRecord {
  std::string label;  // as in the call log, e.g. "svc#2"
  int close_count = 0;
};
// Every handle the simulated platform handed out to the program (standard handles excluded).
const std::vector<HandleRecord>& handles();
// Close calls on values that were never handed out, or were already closed.
const std::vector<std::string>& bad_closes();

// ---- Services -------------------------------------------------------------------------------

// What a ControlService call does to a service.
enum class ControlAnswer {
  Accept,         // succeeds; the service reports the state it moves to
  Refuse,         // fails with `refusal_code`
  ReplyBadState,  // succeeds, but the returned record carries `reply_state`
};

struct Service {
  std::u16string name;
  SERVICE_STATUS_PROCESS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0, 0, 0};
  ControlAnswer control_answer = ControlAnswer::Accept;
  DWORD refusal_code = ERROR_INVALID_SERVICE_CONTROL;
  DWORD reply_state = 0;
  bool marked_for_delete = false;
};

void add_service(Service service);
// The service of that name, if it is still installed.
const Service* find_service(std::u16string_view name);

// ---- Error messages -------------------------------------------------------------------------

// The system message table answers FormatMessageW for the codes it knows (the message is
// stored as given, line end included). Reset installs a few English messages.
void set_system_message(DWORD id, std::u16string message);
void set_ntdll_loaded(bool loaded);

// ---- Standard streams -----------------------------------------------------------------------

// What one standard handle is. `File` accepts every byte (files and pipes look alike);
// `Closed` is a handle whose writes fail with STATUS_INVALID_HANDLE; `Console` is a console,
// which takes UTF-16 through WriteConsoleW and bytes through NtWriteFile.
enum class StdKind { None, Invalid, File, Console, Closed };
void set_std_handle(DWORD std_id, StdKind kind);
// Every byte that reached the handle of a standard stream, in order.
std::string stream_bytes(DWORD std_id);

// ---- Environment ----------------------------------------------------------------------------

// The process environment that GetEnvironmentVariableW reads; empty after reset. Values are
// UTF-16 as stored, so they may hold unpaired surrogates.
void set_environment_variable(std::u16string_view name, std::u16string value);

// ---- Consoles and scripted writes ----------------------------------------------------------
// (console output)

// What GetConsoleOutputCP answers for every console (437 after reset).
void set_console_output_cp(UINT code_page);
// The next WriteConsoleW calls on the stream's console take at most these many units, one
// entry per call, in order; once the script is used up, calls take everything.
void script_console_accepts(DWORD std_id, std::vector<DWORD> units_per_call);
// Every UTF-16 unit that reached the stream's console through WriteConsoleW, in order.
std::u16string console_units(DWORD std_id);

// How the next NtWriteFile on the stream's handle answers: STATUS_PENDING, after which
// WaitForSingleObject on the handle either completes the write or leaves it pending.
enum class PendingWrite { Completes, StaysPending };
void make_next_write_pending(DWORD std_id, PendingWrite outcome);

// The next NtWriteFile or WriteConsoleW on the stream's handle reports `extra` more bytes or
// units written than it took, as a misbehaving driver might.
void overstate_next_write(DWORD std_id, DWORD extra);

// ---- Process heap ---------------------------------------------------------------------------

// Blocks from HeapAlloc (or moved by HeapReAlloc) not yet given back with HeapFree. A reset
// frees those still out: no block outlives its process.
int live_heap_blocks();
// The log lines (without their result) of HeapFree and HeapReAlloc calls on a block that the
// heap did not hand out or had already taken back; such a block is left untouched.
const std::vector<std::string>& bad_heap_releases();
// Every block starts 8 bytes past a multiple of 16, with poisoned bytes in front of it. The next
// block HeapAlloc hands out starts at a multiple of `alignment` instead: a power of two, 16 or
// more as one of the platform's may by chance, or 8 for an ordinary block.
void align_next_heap_block(std::size_t alignment);

// ---- Sleeping -------------------------------------------------------------------------------

// The next Sleep runs `action` on the sleeping thread before it returns: what other threads do
// while this one yields (Sleep itself blocks nothing).
void run_in_next_sleep(std::function<void()> action);

// ---- Stack frames ---------------------------------------------------------------------------

// Unscripted, capture_frames and describe_frame walk and describe the test process's own stack.
// Scripted, capture_frames gives these addresses, innermost first, and describe_frame gives each
// its location (and an address not listed no location at all), until the next reset.
struct ScriptedFrame {
  std::uintptr_t address;
  FrameLocation location;
};
void script_stack(std::vector<ScriptedFrame> frames);

// ---- Fail-fast ------------------------------------------------------------------------------

// Exit status of a process that ended with the fail-fast request, as Wine reports it.
inline constexpr int kFastFailExitStatus = 9;

}  // namespace sim
