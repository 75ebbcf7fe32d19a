// Modules, the system path, the heap and control events of the simulated
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
};

TEST_F(SimSystem, LibrariesLoadOnlyFromTheSystemDirectory) {
    Load(R"({"system": {"system_directory": "D:\\WinNT\\System32"}})");
    HMODULE dll = LoadLibraryA("d:\\winnt\\SYSTEM32\\Version.DLL");
    EXPECT_NE(dll, nullptr);
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
    // Released, the module and its functions are gone.
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_EQ(GetModuleHandleA("version.dll"), nullptr);
    EXPECT_FALSE(FreeLibrary(dll));
    EXPECT_EQ(GetProcAddress(dll, "VerQueryValueA"), nullptr);
    Load(R"({"system": {"version_dll": "missing"}})");
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\system32\\version.dll"), nullptr);
}

TEST_F(SimSystem, OptionalExportsFollowTheMachine) {
    Load("{}");
    EXPECT_EQ(GetModuleHandleA("KERNEL32"), GetModuleHandleA("kernel32.dll"));
    EXPECT_NE(Proc<void*>("kernel32.dll", "SetDefaultDllDirectories"), nullptr);
    EXPECT_EQ(Proc<void*>("ntdll.dll", "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    Load(R"({"system": {"dll_directory_functions": false}})");
    EXPECT_EQ(Proc<void*>("kernel32.dll", "SetDllDirectoryA"), nullptr);
    EXPECT_EQ(Proc<void*>("kernel32.dll", "SetDefaultDllDirectories"), nullptr);
}

TEST_F(SimSystem, SystemDirectoryAnswersTheSizeItNeeds) {
    Load("{}");
    char buffer[64];
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
