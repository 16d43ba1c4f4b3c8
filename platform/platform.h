// platform/platform.h
//
// The Win32 and C runtime services that the library and its runtime call, under their
// Windows names and signatures. On Windows this header only includes the real ones; on
// other systems it declares this layer's stand-ins, which keep exactly the behaviour the
// library relies on. One instance of the layer serves the whole process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32

#include <direct.h>
#include <malloc.h>
#include <sys/stat.h>
#include <time.h>
#include <wchar.h>
#include <windows.h>

#include <stdarg.h>

// Wide literals: L"..." where WCHAR is wchar_t.
#define WIDE(text) L##text

// The C runtime's wide printf family with the Microsoft meaning of %s and %c (a wide text, a
// wide character). mingw-w64's C++ library switches these names to its own C99 versions,
// where %s is a narrow text; the library's formats rely on the Microsoft meaning, so its calls
// go to the runtime's own functions.
#undef fwprintf
#define fwprintf __ms_fwprintf

// vswprintf_s as the library relies on it: the length written, or -1 with buffer[0] = 0 when
// the result with its terminator does not fit in count characters. The runtime's own
// vswprintf_s would call the invalid-parameter handler there, which ends the process.
int BoundedWideFormat(WCHAR* buffer, size_t count, const WCHAR* format, va_list arguments);
#undef vswprintf_s
#define vswprintf_s BoundedWideFormat

#else

#include <sys/stat.h>
#include <cstdarg>
#include <ctime>
#include <cwchar>  // glibc's wchar_t functions, which the char16_t stand-ins below overload

// glibc spells st_atime, st_mtime and st_ctime as macros over its own struct stat, which would
// rewrite the field names of _stat64i32 below in any file that also sees <sys/stat.h> (GoogleTest
// includes it). Including it here first and dropping the macros keeps the field names intact
// whatever the order of includes; the layer reads the system's times as st_*tim.tv_sec.
#undef st_atime
#undef st_mtime
#undef st_ctime

// Wide literals: u"..." where WCHAR is char16_t. Both spellings give 16-bit code units.
#define WIDE(text) u##text

// ---- Types -------------------------------------------------------------------------------

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int errno_t;
typedef int64_t __time64_t;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

#define WINAPI
#define CALLBACK
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

// File status as the C runtime's 32-bit-size variant reports it. Only the fields that
// callers read are filled: st_size (bytes, cut to 32 bits) and st_mtime (seconds since 1970).
struct _stat64i32 {
    uint32_t st_dev;
    uint16_t st_ino;
    uint16_t st_mode;
    int16_t st_nlink;
    int16_t st_uid;
    int16_t st_gid;
    uint32_t st_rdev;
    int32_t st_size;
    __time64_t st_atime;
    __time64_t st_mtime;
    __time64_t st_ctime;
};

// ---- Constants ---------------------------------------------------------------------------

#define MB_OK 0x00000000u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1

#define _HEAPEMPTY (-1)
#define _HEAPOK (-2)
#define _HEAPBADBEGIN (-3)
#define _HEAPBADNODE (-4)

#define MAX_PATH 260

#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_RELEASE 0x00008000u
#define PAGE_READWRITE 0x04u

// ---- User interface services (user32) ----------------------------------------------------

// Calls, synchronously on this thread, the procedure registered for window; answers its
// result. A window without a procedure (0, destroyed, never made) answers 0 and does nothing.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hands the box to the current message box handler (see platform/host_hooks.h) and answers
// its answer. The default handler prints "caption: text" on standard error and answers IDOK.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Copies string resource id of module into buffer (at most bufferSize - 1 characters and a
// terminator) and answers the number of characters copied; 0 and an empty buffer when the
// module has no such string. A null module is the executable, which holds no strings. With
// bufferSize 0, stores a read-only pointer to the text itself in *(LPCWSTR*)buffer and answers
// its length.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferSize);

// Formats into buffer, which must hold 1,024 characters, as the C runtime's wide printf family
// does with %s meaning a wide text. Longer output is cut to 1,023 characters and a terminator.
// Answers the number of characters written; a bad format leaves the buffer empty and answers 0.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

// ---- Kernel services (kernel32) ----------------------------------------------------------

// The string module registered under name (platform/host_hooks.h), or null.
// A null name answers the executable's module, which is never null.
HMODULE GetModuleHandleW(LPCWSTR name);

// Ordinal comparison, code unit by code unit: answers <0, 0 or >0. A null text sorts first.
int lstrcmpW(LPCWSTR first, LPCWSTR second);
int lstrlenW(LPCWSTR text);  // 0 for a null text
LPWSTR lstrcpyW(LPWSTR target, LPCWSTR source);
// Copies at most maxLength - 1 characters and always terminates (for maxLength >= 1).
LPWSTR lstrcpynW(LPWSTR target, LPCWSTR source, int maxLength);

// Zero-filled pages of at least size bytes, reserved and committed together (MEM_COMMIT |
// MEM_RESERVE, PAGE_READWRITE, address null: the only form served); null when the system
// refuses. Large blocks are asked for transparent huge pages, so that filling them takes a
// few hundred faults, not hundreds of thousands. VirtualFree with MEM_RELEASE and size 0
// gives a whole block back.
void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect);
BOOL VirtualFree(void* address, size_t size, DWORD freeType);

// ---- C runtime ---------------------------------------------------------------------------

// Bounded wide formatting: answers the length written, or -1 with buffer[0] = 0 when the
// result (with its terminator) does not fit in count characters or the format is bad.
// %ld takes a 32-bit value, as Microsoft's long is 32 bits: pass int32_t, DWORD or int.
int vswprintf_s(WCHAR* buffer, size_t count, const WCHAR* format, va_list arguments);
int _wtoi(const WCHAR* text);

// Wide-character files. Any mode is binary: characters are raw UTF-16LE code units, two
// bytes each, with no translation of line ends. Paths become UTF-8 at the system call.
errno_t _wfopen_s(FILE** file, const WCHAR* path, const WCHAR* mode);
// Reads up to count - 1 code units, stopping after an LF; null at the end of the file with
// nothing read. A lone trailing byte counts as the end of the file.
WCHAR* fgetws(WCHAR* buffer, int count, FILE* file);
int fputws(const WCHAR* text, FILE* file);
std::wint_t fputwc(WCHAR character, FILE* file);
int fwprintf(FILE* file, const WCHAR* format, ...);
int _fileno(FILE* file);
int _fstat64i32(int descriptor, struct _stat64i32* status);
// "Www Mmm dd hh:mm:ss yyyy\n" in local time, the day zero-padded as the C runtime of Windows
// writes it; the buffer needs 26 characters.
errno_t _wctime64_s(WCHAR* buffer, size_t count, const __time64_t* time);

// Drives: a system without drives is always on drive 0, and changing it does nothing.
int _getdrive(void);
int _chdrive(int drive);
WCHAR* _wgetcwd(WCHAR* buffer, int maxLength);
int _wchdir(const WCHAR* path);
// Forward and backward slashes both separate folders. Any output may be null with count 0.
errno_t _wsplitpath_s(const WCHAR* path, WCHAR* drive, size_t driveCount, WCHAR* dir,
                      size_t dirCount, WCHAR* name, size_t nameCount, WCHAR* ext, size_t extCount);

// The heap is consistent (_HEAPOK) unless a test forced another answer (host_hooks.h).
int _heapchk(void);

#endif  // _WIN32
