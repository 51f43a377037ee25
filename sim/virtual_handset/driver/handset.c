/* The handset as a device: made when the test plugs it in, named to Plug and Play, started and removed
 * by it. Its HID requests are in handset_hid.c. */
#include "bus.h"

static const WCHAR compatible_id[] = L"PHONEDOCK_VHANDSET\\HANDSET";

/* Names and ids are built by hand: no formatting routine of the kernel's is needed. */
struct text {
    WCHAR* at;
    SIZE_T used;
    SIZE_T room; /* NUL included */
};

static void text_add(struct text* text, const WCHAR* part) {
    while (*part && text->used + 1 < text->room) text->at[text->used++] = *part++;
    text->at[text->used] = 0;
}

static void text_add_hex4(struct text* text, ULONG value) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    WCHAR hex[5];
    int i;
    for (i = 3; i >= 0; i--, value >>= 4) hex[i] = digits[value & 0xf];
    hex[4] = 0;
    text_add(text, hex);
}

static void text_add_decimal(struct text* text, ULONG value) {
    WCHAR decimal[11];
    int at = 10;
    decimal[at] = 0;
    do {
        decimal[--at] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value && at > 0);
    text_add(text, decimal + at);
}

NTSTATUS handset_create(const struct vh_plug_request* shape, PDEVICE_OBJECT* out) {
    static ULONG handsets_made;
    WCHAR name_buffer[64];
    struct text name_text = {name_buffer, 0, sizeof(name_buffer) / sizeof(WCHAR)};
    UNICODE_STRING name;
    PDEVICE_OBJECT device;
    struct handset* handset;
    NTSTATUS status;
    ULONG number = ++handsets_made;

    text_add(&name_text, VH_CONTROL_DEVICE_NAME L"-");
    text_add_decimal(&name_text, number);
    RtlInitUnicodeString(&name, name_buffer);
    status = IoCreateDevice(g_bus.fdo->DriverObject, sizeof(struct handset), &name, FILE_DEVICE_UNKNOWN,
                            FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;

    handset = handset_of(device);
    RtlZeroMemory(handset, sizeof(*handset));
    handset->header.kind = VH_HANDSET_PDO;
    handset->number = number;
    handset->shape = *shape;
    handset_build_descriptor(handset);
    handset->present = TRUE;
    irp_queue_init(&handset->reads, &g_bus.lock);
    report_ring_init(&handset->inputs, handset->input_slots, VH_INPUT_QUEUE_LENGTH);

    device->Flags &= ~DO_DEVICE_INITIALIZING;
    *out = device;
    return STATUS_SUCCESS;
}

void handset_stop_locked(struct handset* handset, PLIST_ENTRY reads) {
    handset->removed = TRUE;
    irp_queue_drain_locked(&handset->reads, NULL, reads);
    report_ring_init(&handset->inputs, handset->input_slots, VH_INPUT_QUEUE_LENGTH);
}

/* A copy of `text` (several strings when it holds NULs) in pool memory, for Plug and Play to free. */
static WCHAR* pool_copy(const WCHAR* text, SIZE_T bytes) {
    WCHAR* copy = ExAllocatePool(PagedPool, bytes);
    if (copy) RtlCopyMemory(copy, text, bytes);
    return copy;
}

static NTSTATUS query_id(struct handset* handset, PIRP irp, BUS_QUERY_ID_TYPE type) {
    WCHAR ids[96];
    struct text id = {ids, 0, 48};
    SIZE_T used;

    RtlZeroMemory(ids, sizeof(ids));
    switch (type) {
        case BusQueryDeviceID:
        case BusQueryHardwareIDs:
            /* hidclass names its own device after the part behind the last backslash: HID\VID_...&PID_... */
            text_add(&id, L"PHONEDOCK_VHANDSET\\VID_");
            text_add_hex4(&id, handset->shape.vendor_id);
            text_add(&id, L"&PID_");
            text_add_hex4(&id, handset->shape.product_id);
            used = id.used + 1;
            if (type == BusQueryHardwareIDs) {
                /* A list: the device's own id, then the one the minidriver is installed for. */
                RtlCopyMemory(ids + used, compatible_id, sizeof(compatible_id));
                used += sizeof(compatible_id) / sizeof(WCHAR) + 1;
            }
            break;
        case BusQueryCompatibleIDs:
            RtlCopyMemory(ids, compatible_id, sizeof(compatible_id));
            used = sizeof(compatible_id) / sizeof(WCHAR) + 1;
            break;
        case BusQueryInstanceID:
            /* The same every time, as for a handset plugged into the same port again: its device node
             * and installed driver are reused. */
            ids[0] = L'1';
            used = 2;
            break;
        default: return irp->IoStatus.Status;
    }
    irp->IoStatus.Information = (ULONG_PTR)pool_copy(ids, used * sizeof(WCHAR));
    return irp->IoStatus.Information ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
}

static NTSTATUS target_relation(PDEVICE_OBJECT device, PIRP irp) {
    PDEVICE_RELATIONS relations = ExAllocatePool(PagedPool, sizeof(DEVICE_RELATIONS));
    if (!relations) return STATUS_INSUFFICIENT_RESOURCES;
    relations->Count = 1;
    relations->Objects[0] = device;
    ObReferenceObject(device);
    irp->IoStatus.Information = (ULONG_PTR)relations;
    return STATUS_SUCCESS;
}

/* Surprise removal or removal: reads fail from now on. Removal of a handset that was unplugged deletes
 * it; one still plugged in belongs to the bus, which deletes it when the bus goes. */
static NTSTATUS handset_removal(PDEVICE_OBJECT device, PIRP irp, BOOLEAN final) {
    struct handset* handset = handset_of(device);
    LIST_ENTRY reads;
    BOOLEAN delete_now = FALSE;
    KIRQL irql;

    InitializeListHead(&reads);
    KeAcquireSpinLock(&g_bus.lock, &irql);
    handset_stop_locked(handset, &reads);
    if (final && !handset->present) {
        delete_now = TRUE;
        if (g_bus.retiring == device) g_bus.retiring = NULL;
    }
    KeReleaseSpinLock(&g_bus.lock, irql);

    irp_queue_complete_all(&reads, STATUS_DEVICE_NOT_CONNECTED);
    complete_irp(irp, STATUS_SUCCESS, 0);
    if (delete_now) {
        DbgPrint("vhandset_bus: handset %lu removed\n", handset->number);
        IoDeleteDevice(device);
    }
    return STATUS_SUCCESS;
}

NTSTATUS handset_pnp(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    struct handset* handset = handset_of(device);
    NTSTATUS status = irp->IoStatus.Status;
    KIRQL irql;

    switch (stack->MinorFunction) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            KeAcquireSpinLock(&g_bus.lock, &irql);
            handset->removed = !handset->present;
            KeReleaseSpinLock(&g_bus.lock, irql);
            status = STATUS_SUCCESS;
            break;
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_QUERY_REMOVE_DEVICE: return handset_removal(device, irp, FALSE);
        case IRP_MN_REMOVE_DEVICE: return handset_removal(device, irp, TRUE);
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE: status = STATUS_SUCCESS; break;
        case IRP_MN_QUERY_ID: status = query_id(handset, irp, stack->Parameters.QueryId.IdType); break;
        case IRP_MN_QUERY_CAPABILITIES: {
            PDEVICE_CAPABILITIES caps = stack->Parameters.DeviceCapabilities.Capabilities;
            caps->Removable = 1;
            caps->SurpriseRemovalOK = 1;
            caps->SilentInstall = 1;
            status = STATUS_SUCCESS;
            break;
        }
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            if (stack->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation)
                status = target_relation(device, irp);
            break;
        default: break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS handset_power(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;

    (void)device;
    if (stack->MinorFunction == IRP_MN_SET_POWER || stack->MinorFunction == IRP_MN_QUERY_POWER)
        status = STATUS_SUCCESS;
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}
