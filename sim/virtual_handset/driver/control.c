/* The control device, \\.\PhonedockVirtualHandset: how a test plugs the handset in and out, sends its
 * input reports and takes the output reports the host wrote. The output queue belongs to the bus, not
 * to one handset, so a take waiting across an unplug and a new plug goes on waiting. */
#include "bus.h"

NTSTATUS control_create(PDRIVER_OBJECT driver) {
    UNICODE_STRING name, link;
    PDEVICE_OBJECT device;
    NTSTATUS status;

    RtlInitUnicodeString(&name, VH_CONTROL_DEVICE_NAME);
    RtlInitUnicodeString(&link, VH_CONTROL_LINK_NAME);
    status = IoCreateDevice(driver, sizeof(struct control_device), &name, FILE_DEVICE_UNKNOWN,
                            FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    ((struct control_device*)device->DeviceExtension)->header.kind = VH_CONTROL_DEVICE;
    device->Flags |= DO_BUFFERED_IO;

    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    g_bus.control = device;
    g_bus.control_link = TRUE;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void control_delete(void) {
    UNICODE_STRING link;
    LIST_ENTRY takers;
    KIRQL irql;

    InitializeListHead(&takers);
    KeAcquireSpinLock(&g_bus.lock, &irql);
    irp_queue_drain_locked(&g_bus.takers, NULL, &takers);
    KeReleaseSpinLock(&g_bus.lock, irql);
    irp_queue_complete_all(&takers, STATUS_DELETE_PENDING);

    if (g_bus.control_link) {
        RtlInitUnicodeString(&link, VH_CONTROL_LINK_NAME);
        IoDeleteSymbolicLink(&link);
        g_bus.control_link = FALSE;
    }
    if (g_bus.control) {
        IoDeleteDevice(g_bus.control);
        g_bus.control = NULL;
    }
}

static NTSTATUS complete_take(PIRP irp, const struct vh_report* report) {
    RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, report, sizeof(*report));
    return complete_irp(irp, STATUS_SUCCESS, sizeof(*report));
}

void control_output_written(const struct vh_report* report) {
    PIRP taker;
    KIRQL irql;

    KeAcquireSpinLock(&g_bus.lock, &irql);
    taker = irp_queue_pop_locked(&g_bus.takers);
    /* Nobody waits and nobody took the last VH_OUTPUT_QUEUE_LENGTH: the host must not stall on a test
     * that does not care for its output, so the oldest report goes, and the count says so. */
    if (!taker && report_ring_push_over(&g_bus.outputs, report)) g_bus.dropped_outputs++;
    KeReleaseSpinLock(&g_bus.lock, irql);

    if (taker) complete_take(taker, report);
}

static NTSTATUS take_output(PIRP irp) {
    struct vh_report report;
    NTSTATUS status;
    KIRQL irql;

    KeAcquireSpinLock(&g_bus.lock, &irql);
    if (report_ring_pop(&g_bus.outputs, &report)) {
        KeReleaseSpinLock(&g_bus.lock, irql);
        return complete_take(irp, &report);
    }
    status = irp_queue_insert_locked(&g_bus.takers, irp);
    KeReleaseSpinLock(&g_bus.lock, irql);
    if (status == STATUS_CANCELLED) return complete_irp(irp, STATUS_CANCELLED, 0);
    return STATUS_PENDING;
}

static NTSTATUS report_status(PIRP irp) {
    struct vh_status* out = irp->AssociatedIrp.SystemBuffer;
    struct vh_status status;
    KIRQL irql;

    RtlZeroMemory(&status, sizeof(status));
    KeAcquireSpinLock(&g_bus.lock, &irql);
    if (g_bus.handset) {
        struct handset* handset = handset_of(g_bus.handset);
        status.plugged = 1;
        status.pending_reads = handset->reads.count;
        status.queued_inputs = handset->inputs.count;
    }
    status.queued_outputs = g_bus.outputs.count;
    status.dropped_outputs = g_bus.dropped_outputs;
    status.plug_count = g_bus.plug_count;
    KeReleaseSpinLock(&g_bus.lock, irql);

    *out = status;
    return complete_irp(irp, STATUS_SUCCESS, sizeof(status));
}

static NTSTATUS device_control(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const void* buffer = irp->AssociatedIrp.SystemBuffer;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
        case VH_IOCTL_PLUG:
            if (in < sizeof(struct vh_plug_request)) break;
            return complete_irp(irp, bus_plug(buffer), 0);
        case VH_IOCTL_UNPLUG: return complete_irp(irp, bus_unplug(), 0);
        case VH_IOCTL_SEND_INPUT:
            if (in < sizeof(struct vh_report)) break;
            return complete_irp(irp, handset_send_input(buffer), 0);
        case VH_IOCTL_TAKE_OUTPUT:
            if (out < sizeof(struct vh_report)) break;
            return take_output(irp);
        case VH_IOCTL_STATUS:
            if (out < sizeof(struct vh_status)) break;
            return report_status(irp);
        default: return complete_irp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
    return complete_irp(irp, STATUS_INVALID_BUFFER_SIZE, 0);
}

/* A handle closing: takes it left waiting end now. */
static NTSTATUS cleanup(PIRP irp) {
    LIST_ENTRY takers;
    KIRQL irql;

    InitializeListHead(&takers);
    KeAcquireSpinLock(&g_bus.lock, &irql);
    irp_queue_drain_locked(&g_bus.takers, IoGetCurrentIrpStackLocation(irp)->FileObject, &takers);
    KeReleaseSpinLock(&g_bus.lock, irql);
    irp_queue_complete_all(&takers, STATUS_CANCELLED);
    return complete_irp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS control_dispatch(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
        case IRP_MJ_CREATE:
        case IRP_MJ_CLOSE: return complete_irp(irp, STATUS_SUCCESS, 0);
        case IRP_MJ_CLEANUP: return cleanup(irp);
        case IRP_MJ_DEVICE_CONTROL: return device_control(irp);
        default: return complete_irp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}
