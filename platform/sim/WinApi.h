// The Windows services as the simulated machine offers them on Linux,
// answered from a machine description: kernel32 here, the late-bound
// libraries in platform/LateBound.h.
#pragma once

#include "platform/UsbLayouts.h"
#include "platform/sim/WinTypes.h"

namespace tarvel {

// ---- kernel32 ----
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
HMODULE LoadLibraryA(LPCSTR path);
BOOL FreeLibrary(HMODULE module);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
LPSTR GetCommandLineA();
[[noreturn]] void ExitProcess(UINT code);
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();
BOOL GetVersionExA(OSVERSIONINFOA* info);
DWORD GetLastError();
void SetLastError(DWORD code);
void Sleep(DWORD ms);
BOOL Beep(DWORD frequency, DWORD duration);
void DebugBreak();
void InitializeCriticalSection(LPCRITICAL_SECTION cs);
void EnterCriticalSection(LPCRITICAL_SECTION cs);
void LeaveCriticalSection(LPCRITICAL_SECTION cs);
void DeleteCriticalSection(LPCRITICAL_SECTION cs);
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);
BOOL HeapValidate(HANDLE heap, DWORD flags, LPCVOID block);
HANDLE GetStdHandle(DWORD which);
DWORD GetFileType(HANDLE file);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                   DWORD disposition, DWORD flags, HANDLE templ);
BOOL CloseHandle(HANDLE handle);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                     DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
UINT GetACP();
UINT GetConsoleOutputCP();
BOOL GetCPInfoExA(UINT codePage, DWORD flags, LPCPINFOEXA info);
BOOL SetConsoleMode(HANDLE console, DWORD mode);
BOOL GetConsoleMode(HANDLE console, LPDWORD mode);
BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info);
HWND GetConsoleWindow();
DWORD GetConsoleProcessList(LPDWORD list, DWORD count);
BOOL FlushConsoleInputBuffer(HANDLE input);
BOOL ReadConsoleInputA(HANDLE input, PINPUT_RECORD buffer, DWORD length, LPDWORD read);
int lstrlenA(LPCSTR s);
LPSTR lstrcpyA(LPSTR dst, LPCSTR src);
LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int max);
LPSTR lstrcatA(LPSTR dst, LPCSTR src);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out,
                        int outSize, LPCSTR defaultChar, BOOL* usedDefault);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int count, LPWSTR wide,
                        int wideSize);

}  // namespace tarvel

#include "platform/LateBound.h"
