// The program's only view of the operating system.
//
// On Windows this is the real API from <windows.h>. Everywhere else it is the simulator in
// src/platform/sim/, which declares exactly the calls the program makes, with the same names,
// signatures and constants, so that the rest of the program compiles unchanged on both.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>

// MinGW's headers lack these; the values are the platform's documented ones.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif
#ifndef FAST_FAIL_FATAL_APP_EXIT
#define FAST_FAIL_FATAL_APP_EXIT 7
#endif

extern "C" NTSTATUS NTAPI NtWriteFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine,
                                      PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                      PVOID Buffer, ULONG Length, PLARGE_INTEGER ByteOffset,
                                      PULONG Key);

#else

#include "platform/sim/win32_sim.h"

#endif

#include <cstdint>

static_assert(sizeof(WCHAR) == 2, "the platform's wide characters are UTF-16 code units");
static_assert(sizeof(DWORD) == 4);

// STATUS_PENDING is typed differently across headers; the program compares NTSTATUS values.
inline constexpr NTSTATUS kStatusPending = 0x00000103;

// Ends the process at once with the platform's fail-fast request (code 7 for a fatal
// application exit). Nothing after it runs: no destructors, no exit handlers, no flushing.
[[noreturn]] void raise_fast_fail(UINT code);
