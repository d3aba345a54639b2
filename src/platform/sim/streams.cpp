// The simulated standard handles. Files and pipes keep every byte written to them; consoles
// keep every UTF-16 unit, and every byte that reached them through NtWriteFile.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <utility>

#include "platform/sim/internal.h"

namespace sim {
namespace {

// A write that NtWriteFile left pending, finished (or not) by the next wait on the handle.
struct InFlightWrite {
  IO_STATUS_BLOCK* status_block;
  std::string bytes;
  PendingWrite outcome;
};

struct StdSlot {
  StdKind kind = StdKind::File;
  void* handle = nullptr;
  std::string bytes;
  std::u16string units;
  std::deque<DWORD> accepts;
  std::optional<PendingWrite> next_write;
  std::optional<InFlightWrite> in_flight;
  DWORD overstatement = 0;
};

struct Streams {
  std::map<DWORD, StdSlot> slots;
  UINT output_code_page = 437;
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

void set_console_output_cp(UINT code_page) {
  streams().output_code_page = code_page;
}

void script_console_accepts(DWORD std_id, std::vector<DWORD> units_per_call) {
  streams().slots[std_id].accepts.assign(units_per_call.begin(), units_per_call.end());
}

std::u16string console_units(DWORD std_id) {
  return streams().slots[std_id].units;
}

void make_next_write_pending(DWORD std_id, PendingWrite outcome) {
  streams().slots[std_id].next_write = outcome;
}

void overstate_next_write(DWORD std_id, DWORD extra) {
  streams().slots[std_id].overstatement = extra;
}

namespace detail {

void reset_streams() {
  streams() = Streams{};
  for (DWORD id : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    streams().slots[id].handle = new_unowned_handle(stream_label(id));
  }
}

bool finish_pending_write(const void* handle) {
  StdSlot* slot = slot_of_handle(const_cast<void*>(handle));
  if (slot == nullptr || !slot->in_flight) {
    return false;
  }
  InFlightWrite write = std::move(*slot->in_flight);
  slot->in_flight.reset();
  if (write.outcome == PendingWrite::Completes) {
    slot->bytes += write.bytes;
    write.status_block->Status = STATUS_SUCCESS;
    write.status_block->Information = write.bytes.size();
  }
  return true;
}

}  // namespace detail
}  // namespace sim

namespace {

std::string status_text(NTSTATUS status) {
  return sim::detail::hex(static_cast<DWORD>(status));
}

}  // namespace

HANDLE GetStdHandle(DWORD nStdHandle) {
  std::string call = "GetStdHandle(" + std::string(sim::stream_label(nStdHandle)) + ")";
  sim::StdSlot& slot = sim::streams().slots[nStdHandle];
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
    default:
      break;
  }
  sim::detail::log_call(call + " = " + sim::detail::label(slot.handle));
  return slot.handle;
}

BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
  std::string call = "GetConsoleMode(" + sim::detail::label(hConsoleHandle) + ", " +
                     sim::detail::ptr(lpMode) + ")";
  sim::StdSlot* slot = sim::slot_of_handle(hConsoleHandle);
  if (slot == nullptr || slot->kind != sim::StdKind::Console) {
    sim::detail::set_last_error(ERROR_INVALID_HANDLE);
    sim::detail::log_call(call + " = 0");
    return FALSE;
  }
  *lpMode = 0x3;  // ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT
  sim::detail::log_call(call + " = 1");
  return TRUE;
}

UINT GetConsoleOutputCP() {
  UINT code_page = sim::streams().output_code_page;
  sim::detail::log_call("GetConsoleOutputCP() = " + std::to_string(code_page));
  return code_page;
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  std::string call = "MultiByteToWideChar(" + std::to_string(CodePage) + ", " +
                     sim::detail::hex(dwFlags) + ", " + sim::detail::ptr(lpMultiByteStr) + ", " +
                     std::to_string(cbMultiByte) + ", " + sim::detail::ptr(lpWideCharStr) + ", " +
                     std::to_string(cchWideChar) + ")";
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    sim::detail::log_call(call + " = 0");
    return 0;
  };
  if (auto code = sim::detail::take_failure("MultiByteToWideChar")) {
    return fail(*code);
  }
  // Only what the program asks for is simulated: strict UTF-8 with an explicit length.
  if (CodePage != CP_UTF8 || dwFlags != MB_ERR_INVALID_CHARS || cbMultiByte <= 0) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  auto units =
      sim::detail::utf16(std::string_view(lpMultiByteStr, static_cast<std::size_t>(cbMultiByte)));
  if (!units) {
    return fail(ERROR_NO_UNICODE_TRANSLATION);
  }
  if (units->size() > static_cast<std::size_t>(cchWideChar)) {
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::copy(units->begin(), units->end(), lpWideCharStr);
  sim::detail::log_call(call + " = " + std::to_string(units->size()));
  return static_cast<int>(units->size());
}

BOOL WriteConsoleW(HANDLE hConsoleOutput, const VOID* lpBuffer, DWORD nNumberOfCharsToWrite,
                   LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved) {
  std::string call = "WriteConsoleW(" + sim::detail::label(hConsoleOutput) + ", " +
                     sim::detail::ptr(lpBuffer) + ", " + std::to_string(nNumberOfCharsToWrite) +
                     ", " + sim::detail::ptr(lpNumberOfCharsWritten) + ", " +
                     sim::detail::ptr(lpReserved) + ")";
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    sim::detail::log_call(call + " = 0");
    return FALSE;
  };
  if (auto code = sim::detail::take_failure("WriteConsoleW")) {
    return fail(*code);
  }
  sim::StdSlot* slot = sim::slot_of_handle(hConsoleOutput);
  if (slot == nullptr || slot->kind != sim::StdKind::Console) {
    return fail(ERROR_INVALID_HANDLE);
  }
  DWORD taken = nNumberOfCharsToWrite;
  if (!slot->accepts.empty()) {
    taken = std::min(taken, slot->accepts.front());
    slot->accepts.pop_front();
  }
  slot->units.append(static_cast<const char16_t*>(lpBuffer), taken);
  *lpNumberOfCharsWritten = taken + std::exchange(slot->overstatement, 0);
  sim::detail::log_call(call + " = 1 (wrote " + std::to_string(taken) + ")");
  return TRUE;
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
    sim::detail::log_call(call + " = " + status_text(status));
    return status;
  };
  if (auto code = sim::detail::take_failure("NtWriteFile")) {
    return answer(static_cast<NTSTATUS>(*code));
  }
  sim::StdSlot* slot = sim::slot_of_handle(FileHandle);
  // The platform would answer STATUS_INVALID_HANDLE, but the program writes only to standard
  // handles it has looked up and checked: a write to any other (null, the invalid value, one never
  // handed out) is its fault, and ends the test as a sanitizer's finding would.
  if (slot == nullptr) {
    (void)std::fprintf(stderr, "simulator: %s on no standard handle\n", call.c_str());
    std::abort();
  }
  if (slot->kind != sim::StdKind::File && slot->kind != sim::StdKind::Console) {
    return answer(STATUS_INVALID_HANDLE);
  }
  std::string bytes(static_cast<const char*>(Buffer), Length);
  if (slot->next_write) {
    slot->in_flight = sim::InFlightWrite{IoStatusBlock, std::move(bytes), *slot->next_write};
    slot->next_write.reset();
    return answer(STATUS_PENDING);
  }
  slot->bytes += bytes;
  IoStatusBlock->Status = STATUS_SUCCESS;
  IoStatusBlock->Information = Length + std::exchange(slot->overstatement, 0);
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
  sim::detail::log_call("RtlNtStatusToDosError(" + status_text(Status) +
                        ") = " + std::to_string(code));
  return code;
}
