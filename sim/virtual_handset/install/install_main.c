/* vhandset_install.exe: installs the virtual handset's drivers in a Wine prefix (or on Windows) and waits
 * until the bus's control device answers. Always a 64-bit program, like the drivers: it runs with wine64
 * whichever build is being tried.
 *
 *   vhandset_install [INF]     INF: the drivers' vhandset.inf (default: the one beside this program)
 *
 * Prints one line saying what happened; exits 0 once the control device can be opened, 1 otherwise. */
#include <windows.h>
#include <newdev.h>
#include <setupapi.h>
#include <stdio.h>
#include <string.h>

#include "control_protocol.h"

/* The bus starts within a few seconds of its installation; a bound keeps a broken prefix from hanging
 * the run. */
#define READY_BOUND_MS 30000

static const GUID system_class = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

static DWORD started_at;

static int fail(const char* step, DWORD error) {
    printf("vhandset_install: FAILED: %s (error %lu) after %lu ms\n", step, error,
           GetTickCount() - started_at);
    return 1;
}

static BOOL control_device_opens(void) {
    HANDLE control = CreateFileA(VH_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (control == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(control);
    return TRUE;
}

/* The INF named on the command line, or vhandset.inf beside this program, as a full path. */
static BOOL find_inf(int argc, char** argv, char* inf, DWORD room) {
    char* slash;
    if (argc > 1) return GetFullPathNameA(argv[1], room, inf, NULL) - 1 < room - 1;
    if (GetModuleFileNameA(NULL, inf, room) - 1 >= room - 1) return FALSE;
    slash = strrchr(inf, '\\');
    if (!slash || (size_t)(slash + 1 - inf) + sizeof("vhandset.inf") > room) return FALSE;
    strcpy(slash + 1, "vhandset.inf");
    return TRUE;
}

/* The bus's root device, made once: a device that is there already is kept. */
static int register_bus_device(void) {
    static const char hardware_ids[] = VH_BUS_HARDWARE_ID "\0";
    SP_DEVINFO_DATA device;
    HDEVINFO set = SetupDiCreateDeviceInfoList(&system_class, NULL);
    int result = 0;

    if (set == INVALID_HANDLE_VALUE) return fail("SetupDiCreateDeviceInfoList", GetLastError());
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoA(set, VH_BUS_INSTANCE_ID, &system_class, NULL, NULL, 0, &device)) {
        if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS)
            result = fail("SetupDiCreateDeviceInfoA(" VH_BUS_INSTANCE_ID ")", GetLastError());
    } else if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, (const BYTE*)hardware_ids,
                                                  sizeof(hardware_ids))) {
        result = fail("SetupDiSetDeviceRegistryPropertyA(SPDRP_HARDWAREID)", GetLastError());
    } else if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
        result = fail("SetupDiCallClassInstaller(DIF_REGISTERDEVICE)", GetLastError());
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}

int main(int argc, char** argv) {
    char inf[MAX_PATH];
    BOOL reboot = FALSE;

    started_at = GetTickCount();
    setvbuf(stdout, NULL, _IONBF, 0);
    if (!find_inf(argc, argv, inf, sizeof(inf))) return fail("finding vhandset.inf", ERROR_BAD_PATHNAME);
    if (GetFileAttributesA(inf) == INVALID_FILE_ATTRIBUTES) return fail(inf, GetLastError());

    /* The handset's model is found in the copy Windows keeps, when the handset is plugged in later. */
    if (!SetupCopyOEMInfA(inf, NULL, SPOST_PATH, 0, NULL, 0, NULL, NULL))
        return fail("SetupCopyOEMInfA", GetLastError());
    if (register_bus_device() != 0) return 1;
    if (!UpdateDriverForPlugAndPlayDevicesA(NULL, VH_BUS_HARDWARE_ID, inf, INSTALLFLAG_FORCE, &reboot))
        return fail("UpdateDriverForPlugAndPlayDevicesA", GetLastError());

    while (!control_device_opens()) {
        if (GetTickCount() - started_at > READY_BOUND_MS)
            return fail("waiting for " VH_CONTROL_PATH, GetLastError());
        Sleep(20);
    }
    printf("vhandset_install: the virtual handset bus is ready (%lu ms)\n", GetTickCount() - started_at);
    return 0;
}
