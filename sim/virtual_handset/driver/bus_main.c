/* The bus driver's entry: one dispatch per request type, routed by the kind of device it is for. */
#include "bus.h"

static NTSTATUS NTAPI dispatch_pnp(PDEVICE_OBJECT device, PIRP irp) {
    switch (device_kind(device)) {
        case VH_BUS_FDO: return bus_fdo_pnp(device, irp);
        case VH_HANDSET_PDO: return handset_pnp(device, irp);
        default: return complete_irp(irp, irp->IoStatus.Status, irp->IoStatus.Information);
    }
}

static NTSTATUS NTAPI dispatch_power(PDEVICE_OBJECT device, PIRP irp) {
    NTSTATUS status;
    switch (device_kind(device)) {
        case VH_BUS_FDO:
            PoStartNextPowerIrp(irp);
            IoSkipCurrentIrpStackLocation(irp);
            return PoCallDriver(g_bus.lower, irp);
        case VH_HANDSET_PDO: return handset_power(device, irp);
        default:
            status = irp->IoStatus.Status;
            PoStartNextPowerIrp(irp);
            return complete_irp(irp, status, 0);
    }
}

static NTSTATUS NTAPI dispatch_internal_ioctl(PDEVICE_OBJECT device, PIRP irp) {
    if (device_kind(device) == VH_HANDSET_PDO) return handset_internal_ioctl(device, irp);
    return complete_irp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

/* Create, close, cleanup and device control: only the control device takes them. */
static NTSTATUS NTAPI dispatch_control(PDEVICE_OBJECT device, PIRP irp) {
    if (device_kind(device) == VH_CONTROL_DEVICE) return control_dispatch(device, irp);
    return complete_irp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static NTSTATUS NTAPI add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT root) {
    return bus_add_device(driver, root);
}

static VOID NTAPI unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    (void)registry_path;
    KeInitializeSpinLock(&g_bus.lock);
    KeInitializeEvent(&g_bus.plug_gate, SynchronizationEvent, TRUE);
    irp_queue_init(&g_bus.takers, &g_bus.lock);
    report_ring_init(&g_bus.outputs, g_bus.output_slots, VH_OUTPUT_QUEUE_LENGTH);

    driver->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driver->MajorFunction[IRP_MJ_POWER] = dispatch_power;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = dispatch_internal_ioctl;
    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_control;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_control;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_control;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_control;
    driver->DriverExtension->AddDevice = add_device;
    driver->DriverUnload = unload;
    DbgPrint("vhandset_bus: loaded\n");
    return STATUS_SUCCESS;
}
