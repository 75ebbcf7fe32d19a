// The Windows side of the harness:
//   tarvelctl install <inf>      creates the root device ROOT\TARVELUSB\0000 and
//                                installs tarvelusb.sys for it, as Wine's own
//                                wineboot installs its bus drivers
//   tarvelctl wait <gen> <ms>    waits until the driver has started every node
//                                of the topology with generation <gen>; fails
//                                at once when it could not record one
//   tarvelctl hold               never returns: while it runs, the session and
//                                with it the driver stay loaded
// Exit code 0 on success; a line on stderr and 1 otherwise.
#include <windows.h>
#include <setupapi.h>
#include <newdev.h>
#include <stdio.h>
#include <stdlib.h>

static const GUID SystemClass = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
static const char Parameters[] = "System\\CurrentControlSet\\Services\\tarvelusb\\Parameters";

static int Failed(const char* what) {
    fprintf(stderr, "tarvelctl: %s failed, error %lu\n", what, GetLastError());
    return 1;
}

static int Install(const char* inf) {
    static const char hardwareId[] = "TARVELUSB\\ROOT\0";
    HDEVINFO set = SetupDiCreateDeviceInfoList(&SystemClass, NULL);
    if (set == INVALID_HANDLE_VALUE) return Failed("SetupDiCreateDeviceInfoList");
    SP_DEVINFO_DATA device = {.cbSize = sizeof device};
    if (!SetupDiCreateDeviceInfoA(set, "ROOT\\TARVELUSB\\0000", &SystemClass, NULL, NULL, 0,
                                  &device)) {
        return Failed("SetupDiCreateDeviceInfoA");
    }
    if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                           (const BYTE*)hardwareId, sizeof hardwareId)) {
        return Failed("SetupDiSetDeviceRegistryPropertyA");
    }
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device))
        return Failed("DIF_REGISTERDEVICE");
    SetupDiDestroyDeviceInfoList(set);
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesA(NULL, "TARVELUSB\\ROOT", inf, INSTALLFLAG_FORCE,
                                            &reboot)) {
        return Failed("UpdateDriverForPlugAndPlayDevicesA");
    }
    return 0;
}

static DWORD ReadDword(const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Parameters, 0, KEY_QUERY_VALUE, &key)) return 0xFFFFFFFF;
    LONG error = RegQueryValueExA(key, name, NULL, &type, (BYTE*)&value, &size);
    RegCloseKey(key);
    return error || type != REG_DWORD ? 0xFFFFFFFF : value;
}

static int Wait(DWORD generation, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (ReadDword("Ready") != generation) {
        if (ReadDword("Failed") == generation) {
            fprintf(stderr, "tarvelctl: the driver could not record every node of generation %lu "
                            "(WINEDEBUG=+debugstr names it)\n", generation);
            return 1;
        }
        if (GetTickCount() - start > timeoutMs) {
            fprintf(stderr, "tarvelctl: generation %lu not ready after %lu ms: %ld of %ld nodes started\n",
                    generation, timeoutMs, (long)ReadDword("Started"), (long)ReadDword("Nodes"));
            return 1;
        }
        Sleep(20);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 2 && !strcmp(argv[1], "hold")) {
        Sleep(INFINITE);
        return 0;
    }
    if (argc == 3 && !strcmp(argv[1], "install")) return Install(argv[2]);
    if (argc == 4 && !strcmp(argv[1], "wait"))
        return Wait(strtoul(argv[2], NULL, 0), strtoul(argv[3], NULL, 0));
    fprintf(stderr, "usage: tarvelctl install <inf> | wait <generation> <timeout-ms> | hold\n");
    return 2;
}
