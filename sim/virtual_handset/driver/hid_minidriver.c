/* The handset's HID minidriver. hidclass owns the function device and calls in here; the handset itself
 * lives in the bus driver's child device below, which answers every HID request, so this driver passes
 * everything down unchanged. */
#include "hid_minidriver_defs.h"

/* hidclass needs room for a minidriver extension; this driver keeps no state of its own. */
struct minidriver_extension {
    ULONG unused;
};

static PDEVICE_OBJECT lower_device(PDEVICE_OBJECT device) {
    return ((PHID_DEVICE_EXTENSION)device->DeviceExtension)->NextDeviceObject;
}

static NTSTATUS NTAPI pass_down(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower_device(device), irp);
}

static NTSTATUS NTAPI pass_down_power(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(lower_device(device), irp);
}

static NTSTATUS NTAPI add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT fdo) {
    (void)driver;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static VOID NTAPI unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    HID_MINIDRIVER_REGISTRATION registration;
    NTSTATUS status;

    driver->MajorFunction[IRP_MJ_PNP] = pass_down;
    driver->MajorFunction[IRP_MJ_POWER] = pass_down_power;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = pass_down;
    driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = pass_down;
    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = unload;

    RtlZeroMemory(&registration, sizeof(registration));
    registration.Revision = VH_HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registry_path;
    registration.DeviceExtensionSize = sizeof(struct minidriver_extension);
    registration.DevicesArePolled = FALSE;
    status = HidRegisterMinidriver(&registration);
    if (!NT_SUCCESS(status)) DbgPrint("vhandset_hid: hidclass refused the minidriver (0x%08lx)\n", status);
    return status;
}
