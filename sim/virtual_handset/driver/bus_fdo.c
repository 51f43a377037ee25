/* The bus itself: the function device on the root device Plug and Play made for it, which reports the
 * plugged-in handset as its one child, and plugs and unplugs it on the control device's request. */
#include "bus.h"

struct bus g_bus;

NTSTATUS bus_add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT root) {
    PDEVICE_OBJECT fdo;
    NTSTATUS status;

    if (g_bus.fdo) return STATUS_OBJECT_NAME_COLLISION; /* one bus: its control device has one name */

    status = IoCreateDevice(driver, sizeof(struct bus_fdo), NULL, FILE_DEVICE_BUS_EXTENDER,
                            FILE_DEVICE_SECURE_OPEN, FALSE, &fdo);
    if (!NT_SUCCESS(status)) return status;
    ((struct bus_fdo*)fdo->DeviceExtension)->header.kind = VH_BUS_FDO;

    g_bus.lower = IoAttachDeviceToDeviceStack(fdo, root);
    if (!g_bus.lower) {
        IoDeleteDevice(fdo);
        return STATUS_NO_SUCH_DEVICE;
    }
    g_bus.fdo = fdo;
    status = control_create(driver);
    if (!NT_SUCCESS(status)) {
        DbgPrint("vhandset_bus: no control device (0x%08lx)\n", status);
        IoDetachDevice(g_bus.lower);
        IoDeleteDevice(fdo);
        g_bus.fdo = NULL;
        g_bus.lower = NULL;
        return status;
    }
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

/* A handset Plug and Play never saw (unplugged before the bus was asked for its children) would wait
 * for a removal that never comes: it goes now. */
static PDEVICE_OBJECT unseen_retiring_locked(void) {
    PDEVICE_OBJECT unseen = NULL;
    if (g_bus.retiring && !handset_of(g_bus.retiring)->reported) {
        unseen = g_bus.retiring;
        g_bus.retiring = NULL;
    }
    return unseen;
}

static NTSTATUS bus_relations(PIRP irp) {
    PDEVICE_RELATIONS relations = ExAllocatePool(PagedPool, sizeof(DEVICE_RELATIONS));
    PDEVICE_OBJECT unseen;
    KIRQL irql;

    if (!relations) return STATUS_INSUFFICIENT_RESOURCES;
    relations->Count = 0;
    KeAcquireSpinLock(&g_bus.lock, &irql);
    if (g_bus.handset) {
        handset_of(g_bus.handset)->reported = TRUE;
        relations->Objects[relations->Count++] = g_bus.handset;
        ObReferenceObject(g_bus.handset);
    }
    unseen = unseen_retiring_locked();
    KeReleaseSpinLock(&g_bus.lock, irql);

    if (unseen) IoDeleteDevice(unseen);
    irp->IoStatus.Information = (ULONG_PTR)relations;
    return STATUS_SUCCESS;
}

/* The bus goes: so do its handsets, the control device, and the bus's own device. */
static NTSTATUS bus_remove(PDEVICE_OBJECT fdo, PIRP irp) {
    PDEVICE_OBJECT handsets[2];
    LIST_ENTRY reads;
    NTSTATUS status;
    KIRQL irql;
    int i;

    InitializeListHead(&reads);
    KeAcquireSpinLock(&g_bus.lock, &irql);
    g_bus.started = FALSE;
    handsets[0] = g_bus.handset;
    handsets[1] = g_bus.retiring;
    g_bus.handset = NULL;
    g_bus.retiring = NULL;
    for (i = 0; i < 2; i++) {
        if (handsets[i]) handset_stop_locked(handset_of(handsets[i]), &reads);
    }
    KeReleaseSpinLock(&g_bus.lock, irql);
    irp_queue_complete_all(&reads, STATUS_DEVICE_NOT_CONNECTED);
    for (i = 0; i < 2; i++) {
        if (handsets[i]) IoDeleteDevice(handsets[i]);
    }
    control_delete();

    irp->IoStatus.Status = STATUS_SUCCESS;
    IoSkipCurrentIrpStackLocation(irp);
    status = IoCallDriver(g_bus.lower, irp);
    IoDetachDevice(g_bus.lower);
    IoDeleteDevice(fdo);
    g_bus.fdo = NULL;
    g_bus.lower = NULL;
    return status;
}

NTSTATUS bus_fdo_pnp(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    KIRQL irql;

    switch (stack->MinorFunction) {
        case IRP_MN_START_DEVICE:
            /* The root device below has no resources to start; the bus is ready at once. */
            KeAcquireSpinLock(&g_bus.lock, &irql);
            g_bus.started = TRUE;
            KeReleaseSpinLock(&g_bus.lock, irql);
            irp->IoStatus.Status = STATUS_SUCCESS;
            break;
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            if (stack->Parameters.QueryDeviceRelations.Type == BusRelations) {
                NTSTATUS status = bus_relations(irp);
                if (!NT_SUCCESS(status)) return complete_irp(irp, status, 0);
                irp->IoStatus.Status = status;
            }
            break;
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE: irp->IoStatus.Status = STATUS_SUCCESS; break;
        case IRP_MN_REMOVE_DEVICE: return bus_remove(device, irp);
        default: break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(g_bus.lower, irp);
}

static BOOLEAN report_length_fits(uint16_t length) {
    return length >= 2 && length <= VH_MAX_REPORT_PAYLOAD + 1;
}

NTSTATUS bus_plug(const struct vh_plug_request* shape) {
    PDEVICE_OBJECT handset = NULL;
    NTSTATUS status = STATUS_SUCCESS;
    KIRQL irql;

    if (!report_length_fits(shape->input_report_length) || !report_length_fits(shape->output_report_length))
        return STATUS_INVALID_PARAMETER;

    KeWaitForSingleObject(&g_bus.plug_gate, Executive, KernelMode, FALSE, NULL);
    KeAcquireSpinLock(&g_bus.lock, &irql);
    if (!g_bus.started) {
        status = STATUS_DEVICE_NOT_READY;
    } else if (g_bus.handset) {
        status = STATUS_DEVICE_ALREADY_ATTACHED;
    } else if (g_bus.retiring) {
        /* The last handset is still being taken away; the same device instance must not meet it.
         * Soon over: the caller tries again. */
        status = STATUS_RETRY;
    }
    KeReleaseSpinLock(&g_bus.lock, irql);

    if (NT_SUCCESS(status)) status = handset_create(shape, &handset);
    if (NT_SUCCESS(status)) {
        KeAcquireSpinLock(&g_bus.lock, &irql);
        g_bus.handset = handset;
        g_bus.plug_count++;
        /* Reports written to an earlier handset, perhaps in an earlier test, are not this one's. */
        report_ring_init(&g_bus.outputs, g_bus.output_slots, VH_OUTPUT_QUEUE_LENGTH);
        KeReleaseSpinLock(&g_bus.lock, irql);
        DbgPrint("vhandset_bus: handset %lu plugged in (%04x:%04x, reports %u in, %u out)\n",
                 handset_of(handset)->number, shape->vendor_id, shape->product_id, shape->input_report_length,
                 shape->output_report_length);
        IoInvalidateDeviceRelations(g_bus.lower, BusRelations);
    }
    KeSetEvent(&g_bus.plug_gate, IO_NO_INCREMENT, FALSE);
    return status;
}

NTSTATUS bus_unplug(void) {
    PDEVICE_OBJECT handset;
    KIRQL irql;

    KeWaitForSingleObject(&g_bus.plug_gate, Executive, KernelMode, FALSE, NULL);
    KeAcquireSpinLock(&g_bus.lock, &irql);
    handset = g_bus.handset;
    if (handset) {
        handset_of(handset)->present = FALSE;
        g_bus.handset = NULL;
        g_bus.retiring = handset;
    }
    KeReleaseSpinLock(&g_bus.lock, irql);
    if (handset) {
        DbgPrint("vhandset_bus: handset %lu unplugged\n", handset_of(handset)->number);
        IoInvalidateDeviceRelations(g_bus.lower, BusRelations);
    }
    KeSetEvent(&g_bus.plug_gate, IO_NO_INCREMENT, FALSE);
    return handset ? STATUS_SUCCESS : STATUS_NO_SUCH_DEVICE;
}
