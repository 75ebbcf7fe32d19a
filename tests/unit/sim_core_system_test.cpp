// Modules, versions, paths, the heap and the console of the simulated
// machine, as the program relies on them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/sim/Sim.h"

namespace {

using namespace tarvel;

class SimSystem : public ::testing::Test {
protected:
    void Load(const std::string& json) {
        std::string error;
        ASSERT_TRUE(sim::LoadMachineJson(json, error)) << error;
        sim::CaptureTrace(true);
    }
    void TearDown() override { sim::CaptureTrace(false); }

    template <typename F>
    F Proc(const char* module, const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
    }

    // Reads a file version as the program does; "" when a step fails.
    std::string FileVersion(const char* path, DWORD size = 1024) {
        HMODULE dll = LoadLibraryA("C:\\Windows\\system32\\version.dll");
        if (!dll) return "no dll";
        auto getInfo = reinterpret_cast<GetFileVersionInfoA_t>(
            reinterpret_cast<void*>(GetProcAddress(dll, "GetFileVersionInfoA")));
        auto query = reinterpret_cast<VerQueryValueA_t>(
            reinterpret_cast<void*>(GetProcAddress(dll, "VerQueryValueA")));
        std::string result;
        unsigned char buffer[1024];
        void* fixed = nullptr;
        UINT length = 0;
        if (getInfo && query && getInfo(path, 0, size, buffer) &&
            query(buffer, "\\", &fixed, &length)) {
            auto* info = (VS_FIXEDFILEINFO*)fixed;
            EXPECT_GE((unsigned char*)fixed, buffer);
            EXPECT_LE((unsigned char*)fixed + length, buffer + sizeof buffer);
            EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
            char text[64];
            snprintf(text, sizeof text, "%u.%u.%u.%u", info->dwFileVersionMS >> 16,
                     info->dwFileVersionMS & 0xFFFF, info->dwFileVersionLS >> 16,
                     info->dwFileVersionLS & 0xFFFF);
            result = text;
        }
        FreeLibrary(dll);
        return result;
    }
};

TEST_F(SimSystem, LibrariesLoadOnlyFromTheSystemDirectory) {
    Load(R"({"system": {"system_directory": "D:\\WinNT\\System32"}})");
    EXPECT_NE(LoadLibraryA("d:\\winnt\\SYSTEM32\\Version.DLL"), nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("version.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
    EXPECT_EQ(LoadLibraryA("D:\\WinNT\\System32\\sub\\version.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("D:\\WinNT\\System32\\evil.dll"), nullptr);
    EXPECT_NE(LoadLibraryA("D:\\WinNT\\System32\\setupapi.dll"), nullptr);
    EXPECT_EQ(sim::CapturedTrace(),
              "LoadLibraryA d:\\winnt\\SYSTEM32\\Version.DLL -> ok\n"
              "LoadLibraryA version.dll -> fail\n"
              "LoadLibraryA D:\\WinNT\\System32\\sub\\version.dll -> fail\n"
              "LoadLibraryA D:\\WinNT\\System32\\evil.dll -> fail\n"
              "LoadLibraryA D:\\WinNT\\System32\\setupapi.dll -> ok\n");
    Load(R"({"system": {"version_dll": "missing"}})");
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\system32\\version.dll"), nullptr);
}

TEST_F(SimSystem, FreeLibraryReleasesAndIsTraced) {
    Load("{}");
    HMODULE dll = LoadLibraryA("C:\\Windows\\System32\\version.dll");
    ASSERT_NE(dll, nullptr);
    EXPECT_NE(GetModuleHandleA("VERSION.DLL"), nullptr);
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_EQ(GetModuleHandleA("version.dll"), nullptr);
    EXPECT_FALSE(FreeLibrary(dll));
    EXPECT_EQ(GetProcAddress(dll, "VerQueryValueA"), nullptr);
    EXPECT_EQ(sim::CapturedTrace(),
              "LoadLibraryA C:\\Windows\\System32\\version.dll -> ok\n"
              "FreeLibrary C:\\Windows\\System32\\version.dll\n");
}

TEST_F(SimSystem, OptionalExportsFollowTheMachine) {
    Load("{}");
    EXPECT_NE(GetModuleHandleA("KERNEL32"), nullptr);
    EXPECT_EQ(GetModuleHandleA("kernel32"), GetModuleHandleA("kernel32.dll"));
    auto setDir = Proc<SetDllDirectoryA_t>("kernel32.dll", "SetDllDirectoryA");
    auto setDefault = Proc<SetDefaultDllDirectories_t>("kernel32.dll", "SetDefaultDllDirectories");
    ASSERT_TRUE(setDir && setDefault);
    setDir("");
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    EXPECT_EQ(sim::CapturedTrace(), "SetDllDirectoryA \"\"\nSetDefaultDllDirectories 0x800\n");
    BOOL wow = FALSE;
    Proc<IsWow64Process_t>("kernel32", "IsWow64Process")(GetCurrentProcess(), &wow);
    EXPECT_TRUE(wow);
    EXPECT_EQ(Proc<void*>("ntdll.dll", "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);

    Load(R"({"system": {"dll_directory_functions": false, "wow64": "missing",
                        "rtl_get_version": "missing"}})");
    EXPECT_EQ(Proc<void*>("kernel32.dll", "SetDllDirectoryA"), nullptr);
    EXPECT_EQ(Proc<void*>("kernel32.dll", "SetDefaultDllDirectories"), nullptr);
    EXPECT_EQ(Proc<void*>("kernel32", "IsWow64Process"), nullptr);
    EXPECT_EQ(Proc<void*>("ntdll.dll", "RtlGetVersion"), nullptr);
}

TEST_F(SimSystem, OsVersionFromBothServices) {
    Load(R"({"system": {"os_version": [5, 1, 2600], "service_pack": 2, "product_type": 3,
                        "suite_mask": "0x0110"}})");
    RTL_OSVERSIONINFOEXW rtl = {};
    rtl.dwOSVersionInfoSize = sizeof rtl;
    ASSERT_EQ(Proc<RtlGetVersion_t>("ntdll.dll", "RtlGetVersion")(&rtl), 0);
    EXPECT_EQ(rtl.dwMajorVersion * 100 + rtl.dwMinorVersion, 501u);
    EXPECT_EQ(rtl.dwBuildNumber, 2600u);
    EXPECT_EQ(rtl.wServicePackMajor, 2);
    EXPECT_EQ(rtl.wProductType, 3);
    EXPECT_EQ(rtl.wSuiteMask, 0x110);
    OSVERSIONINFOEXA ex = {};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA((OSVERSIONINFOA*)&ex));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
    EXPECT_EQ(ex.wServicePackMajor, 2);
    EXPECT_STREQ(ex.szCSDVersion, "Service Pack 2");

    Load(R"({"system": {"rtl_get_version": "fails"}})");
    rtl = {};
    rtl.dwOSVersionInfoSize = sizeof rtl;
    EXPECT_NE(Proc<RtlGetVersion_t>("ntdll.dll", "RtlGetVersion")(&rtl), 0);
    EXPECT_EQ(rtl.dwMajorVersion, 0u);
}

TEST_F(SimSystem, FileVersionsOfTheProgramAndOfNtdll) {
    Load(R"({"system": {"os_version": [6, 2, 9200], "exe_version": "2.1.300.4",
                        "exe_path": "C:\\Apps\\Tarvel.exe"}})");
    EXPECT_EQ(FileVersion("c:\\apps\\TARVEL.EXE"), "2.1.300.4");
    EXPECT_EQ(FileVersion("C:\\Windows\\system32\\ntdll.dll"), "6.2.9200.0");
    SetLastError(0);
    EXPECT_EQ(FileVersion("C:\\Windows\\system32\\kernel32.dll"), "");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(FileVersion("C:\\Apps\\Tarvel.exe", 16), "");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);

    Load(R"({"system": {"ntdll_version": "10.0.19041.1", "exe_version": null}})");
    EXPECT_EQ(FileVersion("C:\\Windows\\System32\\NTDLL.DLL"), "10.0.19041.1");
    EXPECT_EQ(FileVersion("C:\\Tools\\tarvel.exe"), "");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);

    Load(R"({"system": {"ntdll_version": null}})");
    EXPECT_EQ(FileVersion("C:\\Windows\\system32\\ntdll.dll"), "");
    Load(R"({"system": {"version_dll": "no_functions"}})");
    EXPECT_EQ(FileVersion("C:\\Tools\\tarvel.exe"), "");
}

TEST_F(SimSystem, PathsAreTruncatedTheWindowsWay) {
    Load(R"({"system": {"exe_path": "C:\\Tools\\tarvel.exe"}})");
    char buffer[64];
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "C:\\Tools\\tarvel.exe");
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 8), 8u);
    EXPECT_STREQ(buffer, "C:\\Tool");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);

    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetSystemDirectoryA(buffer, 20), 19u);  // "C:\Windows\system32"
    EXPECT_STREQ(buffer, "C:\\Windows\\system32");
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetSystemDirectoryA(buffer, 19), 20u);  // needed size, terminator included
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(SimSystem, HeapKeepsSizesAndNoticesOverruns) {
    Load("{}");
    HANDLE heap = GetProcessHeap();
    auto* block = (unsigned char*)HeapAlloc(heap, HEAP_ZERO_MEMORY, 37);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 37; ++i) ASSERT_EQ(block[i], 0);
    EXPECT_EQ(HeapSize(heap, 0, block), 37u);
    EXPECT_TRUE(HeapValidate(heap, 0, nullptr));
    void* empty = HeapAlloc(heap, 0, 0);
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, empty), 0u);
    EXPECT_TRUE(HeapFree(heap, 0, empty));
    block[37] = 1;  // one byte past the end
    EXPECT_FALSE(HeapValidate(heap, 0, nullptr));
    block[37] = 0xAB;
    EXPECT_TRUE(HeapValidate(heap, 0, nullptr));
    EXPECT_TRUE(HeapFree(heap, 0, block));
    EXPECT_FALSE(HeapFree(heap, 0, block));  // twice
    EXPECT_FALSE(HeapValidate(heap, 0, nullptr));
}

TEST_F(SimSystem, ConsoleInputComesInBatches) {
    Load(R"({"console": {"window": "own", "input": [
        [{"type": "focus"}, {"type": "key", "vk": 16, "state": 16}],
        [{"type": "key", "vk": 65, "char": 97}]]}})");
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    EXPECT_TRUE(SetConsoleMode(in, 7));
    INPUT_RECORD records[4];
    DWORD read = 99;
    ASSERT_TRUE(ReadConsoleInputA(in, records, 1, &read));  // never more than asked
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(records[0].EventType, FOCUS_EVENT);
    ASSERT_TRUE(ReadConsoleInputA(in, records, 4, &read));
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(records[0].Event.KeyEvent.wVirtualKeyCode, 16);
    EXPECT_EQ(records[0].Event.KeyEvent.dwControlKeyState, 16u);
    ASSERT_TRUE(ReadConsoleInputA(in, records, 4, &read));
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(records[0].EventType, KEY_EVENT);
    EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
    EXPECT_EQ(records[0].Event.KeyEvent.uChar.AsciiChar, 'a');
    EXPECT_FALSE(ReadConsoleInputA(in, records, 4, &read));

    Load(R"({"console": {"stdin": "redirected", "input": [[{"type": "key", "char": 13}]]}})");
    EXPECT_FALSE(SetConsoleMode(in, 7));
    EXPECT_FALSE(ReadConsoleInputA(in, records, 4, &read));
}

TEST_F(SimSystem, ConsoleWindowOwnership) {
    const char* cases[][2] = {{"none", "0 0 -"}, {"hidden", "1 0 other"},
                              {"other", "1 1 other"}, {"own", "1 1 own"}};
    for (auto& c : cases) {
        Load(std::string(R"({"console": {"window": ")") + c[0] + "\"}}");
        HWND window = GetConsoleWindow();
        DWORD pid = 0;
        std::string owner = "-";
        if (window && GetWindowThreadProcessId(window, &pid))
            owner = pid == GetCurrentProcessId() ? "own" : "other";
        std::string seen = std::to_string(window != nullptr) + " " +
                           std::to_string(IsWindowVisible(window) != 0) + " " + owner;
        EXPECT_EQ(seen, c[1]) << c[0];
    }
}

TEST_F(SimSystem, FileTypesAndScreenAttributes) {
    Load(R"({"console": {"stdout": "file", "stderr": "nul", "screen_attributes": "0x1E"}})");
    EXPECT_EQ(GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)), (DWORD)FILE_TYPE_DISK);
    EXPECT_EQ(GetFileType(GetStdHandle(STD_ERROR_HANDLE)), (DWORD)FILE_TYPE_CHAR);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info));
    EXPECT_EQ(info.wAttributes, 0x1E);
    Load(R"({"console": {"stdout": "pipe", "screen_attributes": null}})");
    EXPECT_EQ(GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)), (DWORD)FILE_TYPE_PIPE);
    EXPECT_FALSE(GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info));
}

TEST_F(SimSystem, WritesGoToStdoutAndSleepIsTraced) {
    Load(R"({"clock": "virtual"})");
    sim::CaptureStdout(true);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "a\r\nb", 4, &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(sim::CapturedStdout(), "a\r\nb");
    sim::CaptureStdout(false);
    Sleep(2000);
    EXPECT_EQ(sim::CapturedTrace(), "Sleep 2000\n");
}

BOOL TakesCtrlC(DWORD type) { return type == CTRL_C_EVENT; }

TEST_F(SimSystem, CtrlEventsReachTheInstalledHandler) {
    Load("{}");
    EXPECT_FALSE(sim::RaiseCtrlEvent(CTRL_C_EVENT));
    ASSERT_TRUE(SetConsoleCtrlHandler(TakesCtrlC, TRUE));
    EXPECT_TRUE(sim::RaiseCtrlEvent(CTRL_C_EVENT));
    EXPECT_FALSE(sim::RaiseCtrlEvent(CTRL_BREAK_EVENT));
    ASSERT_TRUE(SetConsoleCtrlHandler(TakesCtrlC, FALSE));
    EXPECT_FALSE(SetConsoleCtrlHandler(TakesCtrlC, FALSE));
    EXPECT_FALSE(sim::RaiseCtrlEvent(CTRL_C_EVENT));
}

TEST_F(SimSystem, CriticalSectionsAreCounted) {
    Load("{}");
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EXPECT_EQ(sim::LiveCriticalSections(), 1);
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    DeleteCriticalSection(&cs);
    EXPECT_EQ(sim::LiveCriticalSections(), 0);
    EXPECT_DEATH(EnterCriticalSection(&cs), "uninitialised");
}

}  // namespace
