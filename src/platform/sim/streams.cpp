// The simulated standard handles. Files and pipes keep every byte written to them.
#include <cstdio>
#include <map>

#include "platform/sim/internal.h"

namespace sim {
namespace {

struct StdSlot {
  StdKind kind = StdKind::File;
  void* handle = nullptr;
  std::string bytes;
};

struct Streams {
  std::map<DWORD, StdSlot> slots;
};

Streams& streams() {
  static Streams instance;
  return instance;
}

const char* stream_label(DWORD std_id) {
  switch (std_id) {
    case STD_INPUT_HANDLE:
      return "stdin";
    case STD_OUTPUT_HANDLE:
      return "stdout";
    default:
      return "stderr";
  }
}

StdSlot* slot_of_handle(HANDLE handle) {
  for (auto& [id, slot] : streams().slots) {
    if (slot.handle == handle && handle != nullptr) {
      return &slot;
    }
  }
  return nullptr;
}

}  // namespace

void set_std_handle(DWORD std_id, StdKind kind) {
  streams().slots[std_id].kind = kind;
}

std::string stream_bytes(DWORD std_id) {
  return streams().slots[std_id].bytes;
}

namespace detail {

void reset_streams() {
  streams() = Streams{};
  for (const DWORD id : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    streams().slots[id].handle = new_unowned_handle(stream_label(id));
  }
}

}  // namespace detail
}  // namespace sim

HANDLE GetStdHandle(DWORD nStdHandle) {
  const std::string call = "GetStdHandle(" + std::string(sim::stream_label(nStdHandle)) + ")";
  const sim::StdSlot& slot = sim::streams().slots[nStdHandle];
  if (auto code = sim::detail::take_failure("GetStdHandle")) {
    sim::detail::set_last_error(*code);
    sim::detail::log_call(call + " = invalid");
    return INVALID_HANDLE_VALUE;
  }
  switch (slot.kind) {
    case sim::StdKind::None:
      sim::detail::log_call(call + " = null");
      return nullptr;
    case sim::StdKind::Invalid:
      sim::detail::set_last_error(ERROR_INVALID_HANDLE);
      sim::detail::log_call(call + " = invalid");
      return INVALID_HANDLE_VALUE;
    case sim::StdKind::File:
      break;
  }
  sim::detail::log_call(call + " = " + sim::detail::label(slot.handle));
  return slot.handle;
}

BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
  const std::string call = "GetConsoleMode(" + sim::detail::label(hConsoleHandle) + ", " +
                           sim::detail::ptr(lpMode) + ")";
  (void)lpMode;
  // No simulated handle is a console yet.
  sim::detail::set_last_error(ERROR_INVALID_HANDLE);
  sim::detail::log_call(call + " = 0");
  return FALSE;
}

NTSTATUS NtWriteFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                     PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length,
                     PLARGE_INTEGER ByteOffset, PULONG Key) {
  std::string call = "NtWriteFile(" + sim::detail::label(FileHandle) + ", " +
                     sim::detail::label(Event) + ", " + (ApcRoutine == nullptr ? "null" : "ptr") +
                     ", " + sim::detail::ptr(ApcContext) + ", " + sim::detail::ptr(IoStatusBlock) +
                     ", " + sim::detail::ptr(Buffer) + ", " + std::to_string(Length) + ", " +
                     sim::detail::ptr(ByteOffset) + ", " + sim::detail::ptr(Key) + ")";
  auto answer = [&](NTSTATUS status) {
    char text[16];
    (void)std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(status));
    sim::detail::log_call(call + " = " + text);
    return status;
  };
  if (auto code = sim::detail::take_failure("NtWriteFile")) {
    return answer(static_cast<NTSTATUS>(*code));
  }
  sim::StdSlot* slot = sim::slot_of_handle(FileHandle);
  if (slot == nullptr || slot->kind != sim::StdKind::File) {
    return answer(STATUS_INVALID_HANDLE);
  }
  slot->bytes.append(static_cast<const char*>(Buffer), Length);
  IoStatusBlock->Status = STATUS_SUCCESS;
  IoStatusBlock->Information = Length;
  return answer(STATUS_SUCCESS);
}

ULONG RtlNtStatusToDosError(NTSTATUS Status) {
  ULONG code = ERROR_MR_MID_NOT_FOUND;
  switch (Status) {
    case STATUS_SUCCESS:
      code = ERROR_SUCCESS;
      break;
    case STATUS_INVALID_HANDLE:
      code = ERROR_INVALID_HANDLE;
      break;
    case STATUS_DISK_FULL:
      code = ERROR_DISK_FULL;
      break;
    default:
      break;
  }
  char text[16];
  (void)std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(Status));
  sim::detail::log_call("RtlNtStatusToDosError(" + std::string(text) +
                        ") = " + std::to_string(code));
  return code;
}
