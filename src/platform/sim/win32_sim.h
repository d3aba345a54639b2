// The host's stand-in for <windows.h>: the types, constants and functions that the program
// uses, with the platform's names and signatures and 32-bit Windows sizes. The functions are
// implemented by the simulator (see simulator.h for how tests drive it).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BOOL = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONG_PTR = std::uintptr_t;
using WCHAR = char16_t;
using CHAR = char;
using NTSTATUS = LONG;
using VOID = void;
using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using PULONG = ULONG*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCCH = const CHAR*;
using LPCSTR = const CHAR*;
using HANDLE = void*;
using HMODULE = struct HINSTANCE__*;
using SC_HANDLE = struct SC_HANDLE__*;
// The calling convention of the platform's calls, which the host has only one of.
#define WINAPI
using FARPROC = std::intptr_t (*)();

union LARGE_INTEGER {
  LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct IO_STATUS_BLOCK {
  union {
    NTSTATUS Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;
using PIO_APC_ROUTINE = void (*)(PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock, ULONG Reserved);
using PTIMERAPCROUTINE = void (*)(LPVOID lpArgToCompletionRoutine, DWORD dwTimerLowValue,
                                  DWORD dwTimerHighValue);

struct SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

struct SERVICE_STATUS_PROCESS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
  DWORD dwProcessId;
  DWORD dwServiceFlags;
};

enum SC_STATUS_TYPE { SC_STATUS_PROCESS_INFO = 0 };

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// Access rights.
inline constexpr DWORD DELETE = 0x00010000;
inline constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
inline constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
inline constexpr DWORD SERVICE_STOP = 0x0020;
inline constexpr DWORD TIMER_ALL_ACCESS = 0x001F0003;

// Service states.
inline constexpr DWORD SERVICE_STOPPED = 1;
inline constexpr DWORD SERVICE_START_PENDING = 2;
inline constexpr DWORD SERVICE_STOP_PENDING = 3;
inline constexpr DWORD SERVICE_RUNNING = 4;
inline constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
inline constexpr DWORD SERVICE_PAUSE_PENDING = 6;
inline constexpr DWORD SERVICE_PAUSED = 7;

// Service types and accepted controls.
inline constexpr DWORD SERVICE_KERNEL_DRIVER = 0x1;
inline constexpr DWORD SERVICE_FILE_SYSTEM_DRIVER = 0x2;
inline constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
inline constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
inline constexpr DWORD SERVICE_USER_SERVICE = 0x40;
inline constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x100;
inline constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;
inline constexpr DWORD SERVICE_ACCEPT_PAUSE_CONTINUE = 0x2;
inline constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x4;

// Control codes.
inline constexpr DWORD SERVICE_CONTROL_STOP = 1;
inline constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
inline constexpr DWORD SERVICE_CONTROL_CONTINUE = 3;
inline constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
inline constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;
inline constexpr DWORD SERVICE_CONTROL_PARAMCHANGE = 6;
inline constexpr DWORD SERVICE_CONTROL_NETBINDADD = 7;
inline constexpr DWORD SERVICE_CONTROL_NETBINDREMOVE = 8;
inline constexpr DWORD SERVICE_CONTROL_NETBINDENABLE = 9;
inline constexpr DWORD SERVICE_CONTROL_NETBINDDISABLE = 10;
inline constexpr DWORD SERVICE_CONTROL_DEVICEEVENT = 11;
inline constexpr DWORD SERVICE_CONTROL_HARDWAREPROFILECHANGE = 12;
inline constexpr DWORD SERVICE_CONTROL_POWEREVENT = 13;
inline constexpr DWORD SERVICE_CONTROL_SESSIONCHANGE = 14;
inline constexpr DWORD SERVICE_CONTROL_PRESHUTDOWN = 15;
inline constexpr DWORD SERVICE_CONTROL_TIMECHANGE = 16;
inline constexpr DWORD SERVICE_CONTROL_TRIGGEREVENT = 32;

// Error codes the simulator itself produces.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;
inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
inline constexpr DWORD ERROR_DEPENDENT_SERVICES_RUNNING = 1051;
inline constexpr DWORD ERROR_INVALID_SERVICE_CONTROL = 1052;
inline constexpr DWORD ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
inline constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr DWORD ERROR_SERVICE_SPECIFIC_ERROR = 1066;
inline constexpr DWORD ERROR_SERVICE_MARKED_FOR_DELETE = 1072;

// Modules and the DLL search.
inline constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
inline constexpr DWORD MAX_PATH = 260;

// Message lookup.
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

// Standard handles and consoles.
inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

// Waiting and timers.
inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;

// NT status values.
inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_PENDING = 0x00000103;
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = static_cast<NTSTATUS>(0xC0000008);
inline constexpr NTSTATUS STATUS_DISK_FULL = static_cast<NTSTATUS>(0xC000007F);

inline constexpr UINT FAST_FAIL_FATAL_APP_EXIT = 7;

// advapi32: the service control manager.
SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
BOOL DeleteService(SC_HANDLE hService);
BOOL CloseServiceHandle(SC_HANDLE hSCObject);
BOOL QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer,
                          DWORD cbBufSize, LPDWORD pcbBytesNeeded);
BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);

// kernel32: errors and their text.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);

// kernel32: modules and the DLL search.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL SetDllDirectoryW(LPCWSTR lpPathName);

// kernel32: the process environment.
DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize);

// kernel32 and ntdll: standard handles and consoles.
HANDLE GetStdHandle(DWORD nStdHandle);
BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode);
UINT GetConsoleOutputCP();
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
BOOL WriteConsoleW(HANDLE hConsoleOutput, const VOID* lpBuffer, DWORD nNumberOfCharsToWrite,
                   LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved);
NTSTATUS NtWriteFile(HANDLE FileHandle, HANDLE Event, PIO_APC_ROUTINE ApcRoutine, PVOID ApcContext,
                     PIO_STATUS_BLOCK IoStatusBlock, PVOID Buffer, ULONG Length,
                     PLARGE_INTEGER ByteOffset, PULONG Key);
ULONG RtlNtStatusToDosError(NTSTATUS Status);

// kernel32: the process heap.
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, std::size_t dwBytes);
LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, std::size_t dwBytes);
BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);

// kernel32: waiting and timers.
HANDLE CreateWaitableTimerExW(LPSECURITY_ATTRIBUTES lpTimerAttributes, LPCWSTR lpTimerName,
                              DWORD dwFlags, DWORD dwDesiredAccess);
BOOL SetWaitableTimer(HANDLE hTimer, const LARGE_INTEGER* lpDueTime, LONG lPeriod,
                      PTIMERAPCROUTINE pfnCompletionRoutine, LPVOID lpArgToCompletionRoutine,
                      BOOL fResume);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL CloseHandle(HANDLE hObject);
void Sleep(DWORD dwMilliseconds);

// kernel32: threads.
DWORD GetCurrentThreadId();
