// Modules: the loaded system libraries, loading from the system directory
// only, exported functions by name, and the module and directory paths.
#include <string.h>

#include "platform/sim/Sim.h"
#include "platform/sim/UsbState.h"
#include "platform/sim/SimCore.h"

namespace tarvel::sim {
namespace {

struct Module {
    const char* name;  // file name, lower case
    uintptr_t handle;
    bool preloaded;    // loaded with the process
    int refs = 0;      // LoadLibraryA minus FreeLibrary
    std::string loadPath;
};

const uintptr_t kExeModule = 0x00400000;

Module modules[] = {
    {"kernel32.dll", 0x76A00000, true, 0, {}},  {"ntdll.dll", 0x77B00000, true, 0, {}},
    {"version.dll", 0x74C00000, false, 0, {}},  {"user32.dll", 0x75D00000, false, 0, {}},
    {"shlwapi.dll", 0x75E00000, false, 0, {}},  {"setupapi.dll", 0x75F00000, false, 0, {}},
    {"cfgmgr32.dll", 0x74A00000, false, 0, {}},
};

// The caller casts the address back to the function's real type.
template <typename F>
FARPROC AsProc(F* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

bool Loaded(const Module& m) { return m.preloaded || m.refs > 0; }

Module* ByHandle(HMODULE handle) {
    for (Module& m : modules)
        if (m.handle == (uintptr_t)handle && Loaded(m)) return &m;
    return nullptr;
}

Module* ByName(const std::string& name) {
    for (Module& m : modules)
        if (EqualNoCase(name, m.name)) return &m;
    return nullptr;
}

// Paths reach the program, and come back from it, in the ANSI code page.
std::string SystemPath(const char* name) {
    return Ansi(Current().system.system_directory) + "\\" + name;
}

bool Loadable(const Module& m) {
    if (m.preloaded) return false;
    return strcmp(m.name, "version.dll") != 0 || Current().system.version_dll != "missing";
}

FARPROC Export(const Module& m, const std::string& name) {
    const SystemSection& sys = Current().system;
    std::string module = m.name;
    if (module == "kernel32.dll") {
        if (sys.dll_directory_functions && name == "SetDllDirectoryA")
            return AsProc(&SimSetDllDirectoryA);
        if (sys.dll_directory_functions && name == "SetDefaultDllDirectories")
            return AsProc(&SimSetDefaultDllDirectories);
        if (sys.wow64 != "missing" && name == "IsWow64Process")
            return AsProc(&SimIsWow64Process);
    }
    if (module == "ntdll.dll" && sys.rtl_get_version != "missing" && name == "RtlGetVersion")
        return AsProc(&SimRtlGetVersion);
    if (module == "version.dll") {
        if (sys.version_dll != "no_functions" && name == "GetFileVersionInfoA")
            return AsProc(&SimGetFileVersionInfoA);
        if (name == "VerQueryValueA") return AsProc(&SimVerQueryValueA);
    }
    return nullptr;
}

}  // namespace

void ResetModules() {
    for (Module& m : modules) {
        m.refs = 0;
        m.loadPath.clear();
    }
}

int LiveLibraryReferences() {
    int refs = 0;
    for (const Module& m : modules) refs += m.refs;
    return refs;
}

bool ModuleLoaded(const char* name) {
    Module* m = ByName(name);
    return m && Loaded(*m);
}

BOOL SimSetDllDirectoryA(LPCSTR path) {
    if (path)
        Trace("SetDllDirectoryA \"%s\"", path);
    else
        Trace("SetDllDirectoryA NULL");
    return TRUE;
}

BOOL SimSetDefaultDllDirectories(DWORD flags) {
    Trace("SetDefaultDllDirectories 0x%X", flags);
    if (flags == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL SimIsWow64Process(HANDLE process, BOOL* wow64) {
    if (process != GetCurrentProcess() || !wow64) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *wow64 = Current().system.wow64 == "true" ? TRUE : FALSE;
    return TRUE;
}

}  // namespace tarvel::sim

namespace tarvel {

using namespace sim;

HMODULE GetModuleHandleA(LPCSTR name) {
    if (!name) return (HMODULE)sim::kExeModule;
    std::string file = name;
    size_t slash = file.rfind('\\');
    if (slash != std::string::npos) {
        if (!EqualNoCase(file.substr(0, slash), Ansi(Current().system.system_directory)))
            file.clear();
        else file = file.substr(slash + 1);
    }
    if (file.find('.') == std::string::npos) file += ".dll";
    Module* m = ByName(file);
    if (!m || !Loaded(*m)) {
        SetLastError(126);  // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
    return (HMODULE)m->handle;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    Module* m = ByHandle(module);
    if (!m) {
        SetLastError(126);
        return nullptr;
    }
    // A name whose pointer fits in 16 bits is an ordinal; none are exported.
    FARPROC proc = (uintptr_t)name >> 16 ? Export(*m, name) : nullptr;
    if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
    return proc;
}

HMODULE LoadLibraryA(LPCSTR path) {
    Module* found = nullptr;
    for (Module& m : modules)
        if (path && Loadable(m) && EqualNoCase(path, SystemPath(m.name))) found = &m;
    Trace("LoadLibraryA %s -> %s", path ? path : "(null)", found ? "ok" : "fail");
    if (!found) {
        SetLastError(126);
        return nullptr;
    }
    if (found->refs++ == 0) found->loadPath = path;
    return (HMODULE)found->handle;
}

BOOL FreeLibrary(HMODULE module) {
    Module* m = ByHandle(module);
    if (!m || m->preloaded) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Trace("FreeLibrary %s", m->loadPath.c_str());
    --m->refs;
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    std::string path;
    if (!module || (uintptr_t)module == sim::kExeModule) {
        path = sim::Ansi(Current().system.exe_path);
    } else if (Module* m = ByHandle(module)) {
        path = SystemPath(m->name);
    } else {
        SetLastError(126);
        return 0;
    }
    if (size == 0 || !buffer) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Too long: the buffer holds what fits with a terminator, and the
    // result is the buffer's size.
    if (path.size() >= size) {
        memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    // As every A function, in the ANSI code page.
    const std::string dir = sim::Ansi(Current().system.system_directory);
    if (!buffer || size <= dir.size()) return (UINT)dir.size() + 1;
    memcpy(buffer, dir.c_str(), dir.size() + 1);
    return (UINT)dir.size();
}

}  // namespace tarvel
