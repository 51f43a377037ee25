/* The handset: the bus's child device. It answers hidclass's requests (passed down by the minidriver),
 * keeps the host's reads waiting until the test sends an input report, and gives the reports the host
 * writes to the control device. */
#include "bus.h"

/* Only the report lengths matter to programs: one vendor-defined collection, one input and one output
 * report of plain bytes, no report ids. The two counts are filled in from the plug request. */
static const UCHAR descriptor_template[] = {
    0x06, 0x00, 0xff, /* Usage Page (vendor-defined 0xff00) */
    0x09, 0x01,       /* Usage (1) */
    0xa1, 0x01,       /* Collection (Application) */
    0x15, 0x00,       /*   Logical Minimum (0) */
    0x26, 0xff, 0x00, /*   Logical Maximum (255) */
    0x75, 0x08,       /*   Report Size (8) */
    0x95, 0x00,       /*   Report Count (input bytes) */
    0x09, 0x01,       /*   Usage (1) */
    0x81, 0x02,       /*   Input (Data, Variable, Absolute) */
    0x95, 0x00,       /*   Report Count (output bytes) */
    0x09, 0x02,       /*   Usage (2) */
    0x91, 0x02,       /*   Output (Data, Variable, Absolute) */
    0xc0,             /* End Collection */
};
enum { INPUT_COUNT_AT = 15, OUTPUT_COUNT_AT = 21 };
_Static_assert(sizeof(descriptor_template) <= VH_REPORT_DESCRIPTOR_MAX, "the descriptor fits its room");

/* Its strings, by the ids Windows asks (14 to 16) and those Wine's hidclass asks (1 to 3). */
static const WCHAR* handset_string(ULONG id) {
    switch (id) {
        case 1:
        case VH_HID_STRING_ID_IMANUFACTURER: return L"phonedock test bench";
        case 2:
        case VH_HID_STRING_ID_IPRODUCT: return L"Virtual USB handset";
        case 3:
        case VH_HID_STRING_ID_ISERIALNUMBER: return L"VH0001";
        default: return NULL;
    }
}

static const WCHAR compatible_id[] = L"PHONEDOCK_VHANDSET\\HANDSET";

static struct handset* handset_of(PDEVICE_OBJECT device) {
    return device->DeviceExtension;
}

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
    RtlCopyMemory(handset->report_descriptor, descriptor_template, sizeof(descriptor_template));
    handset->report_descriptor[INPUT_COUNT_AT] = (UCHAR)(shape->input_report_length - 1);
    handset->report_descriptor[OUTPUT_COUNT_AT] = (UCHAR)(shape->output_report_length - 1);
    handset->report_descriptor_length = sizeof(descriptor_template);
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

/* Completes a read with an input report: its data only, hidclass adds the report id byte. */
static void complete_read(PIRP irp, const struct vh_report* report) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG room = stack->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG length = report->length < room ? report->length : room;

    RtlCopyMemory(irp->UserBuffer, report->payload, length);
    complete_irp(irp, STATUS_SUCCESS, length);
}

static NTSTATUS read_report(struct handset* handset, PIRP irp) {
    struct vh_report report;
    NTSTATUS status;
    KIRQL irql;

    KeAcquireSpinLock(&g_bus.lock, &irql);
    if (handset->removed) {
        KeReleaseSpinLock(&g_bus.lock, irql);
        return complete_irp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    if (report_ring_pop(&handset->inputs, &report)) {
        KeReleaseSpinLock(&g_bus.lock, irql);
        complete_read(irp, &report);
        return STATUS_SUCCESS;
    }
    status = irp_queue_insert_locked(&handset->reads, irp);
    KeReleaseSpinLock(&g_bus.lock, irql);
    if (status == STATUS_CANCELLED) return complete_irp(irp, STATUS_CANCELLED, 0);
    return STATUS_PENDING;
}

static NTSTATUS write_report(struct handset* handset, PIRP irp) {
    const VH_HID_XFER_PACKET* packet = irp->UserBuffer;
    struct vh_report report;
    KIRQL irql;
    BOOLEAN removed;

    if (!packet || (!packet->reportBuffer && packet->reportBufferLen))
        return complete_irp(irp, STATUS_INVALID_PARAMETER, 0);
    if (packet->reportBufferLen > VH_MAX_REPORT_PAYLOAD)
        return complete_irp(irp, STATUS_INVALID_BUFFER_SIZE, 0);

    KeAcquireSpinLock(&g_bus.lock, &irql);
    removed = handset->removed;
    KeReleaseSpinLock(&g_bus.lock, irql);
    if (removed) return complete_irp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);

    RtlZeroMemory(&report, sizeof(report));
    report.length = packet->reportBufferLen;
    report.report_id = packet->reportId;
    RtlCopyMemory(report.payload, packet->reportBuffer, packet->reportBufferLen);
    control_output_written(&report);
    /* What the program wrote, its report id byte included even when that is 0 and not sent: hidclass
     * hands the count on as WriteFile's. */
    return complete_irp(irp, STATUS_SUCCESS, packet->reportBufferLen + (packet->reportId == 0 ? 1 : 0));
}

static NTSTATUS get_string(PIRP irp, ULONG room) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG id = (ULONG)(ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer & 0xffff;
    const WCHAR* text = handset_string(id);
    ULONG bytes;

    if (!text) return complete_irp(irp, STATUS_INVALID_PARAMETER, 0);
    bytes = (ULONG)((wcslen(text) + 1) * sizeof(WCHAR));
    if (room < bytes) return complete_irp(irp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlCopyMemory(irp->UserBuffer, text, bytes);
    return complete_irp(irp, STATUS_SUCCESS, bytes);
}

NTSTATUS handset_internal_ioctl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    struct handset* handset = handset_of(device);
    ULONG room = stack->Parameters.DeviceIoControl.OutputBufferLength;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
        case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
            PHID_DESCRIPTOR descriptor = irp->UserBuffer;
            if (room < sizeof(*descriptor)) return complete_irp(irp, STATUS_BUFFER_TOO_SMALL, 0);
            RtlZeroMemory(descriptor, sizeof(*descriptor));
            descriptor->bLength = sizeof(*descriptor);
            descriptor->bDescriptorType = VH_HID_HID_DESCRIPTOR_TYPE;
            descriptor->bcdHID = 0x0111;
            descriptor->bNumDescriptors = 1;
            descriptor->DescriptorList[0].bReportType = VH_HID_REPORT_DESCRIPTOR_TYPE;
            descriptor->DescriptorList[0].wReportLength = handset->report_descriptor_length;
            return complete_irp(irp, STATUS_SUCCESS, sizeof(*descriptor));
        }
        case IOCTL_HID_GET_REPORT_DESCRIPTOR:
            if (room < handset->report_descriptor_length)
                return complete_irp(irp, STATUS_BUFFER_TOO_SMALL, 0);
            RtlCopyMemory(irp->UserBuffer, handset->report_descriptor, handset->report_descriptor_length);
            return complete_irp(irp, STATUS_SUCCESS, handset->report_descriptor_length);
        case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
            PHID_DEVICE_ATTRIBUTES attributes = irp->UserBuffer;
            if (room < sizeof(*attributes)) return complete_irp(irp, STATUS_BUFFER_TOO_SMALL, 0);
            RtlZeroMemory(attributes, sizeof(*attributes));
            attributes->Size = sizeof(*attributes);
            attributes->VendorID = handset->shape.vendor_id;
            attributes->ProductID = handset->shape.product_id;
            attributes->VersionNumber = 0x0100;
            return complete_irp(irp, STATUS_SUCCESS, sizeof(*attributes));
        }
        case IOCTL_HID_GET_STRING: return get_string(irp, room);
        case IOCTL_HID_READ_REPORT: return read_report(handset, irp);
        case IOCTL_HID_WRITE_REPORT:
        case IOCTL_HID_SET_OUTPUT_REPORT: return write_report(handset, irp);
        case IOCTL_HID_ACTIVATE_DEVICE:
        case IOCTL_HID_DEACTIVATE_DEVICE: return complete_irp(irp, STATUS_SUCCESS, 0);
        default: return complete_irp(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

NTSTATUS handset_send_input(const struct vh_report* report) {
    struct vh_report padded;
    struct handset* handset;
    NTSTATUS status = STATUS_SUCCESS;
    PIRP read = NULL;
    KIRQL irql;

    if (report->report_id != 0) return STATUS_INVALID_PARAMETER; /* the handset has no report ids */

    KeAcquireSpinLock(&g_bus.lock, &irql);
    handset = g_bus.handset ? handset_of(g_bus.handset) : NULL;
    if (!handset || handset->removed) {
        status = STATUS_DEVICE_NOT_CONNECTED;
    } else if (report->length > (ULONG)handset->shape.input_report_length - 1) {
        status = STATUS_INVALID_BUFFER_SIZE;
    } else {
        /* A device sends whole reports: a short one is padded with zeros to the report's length. */
        padded = *report;
        padded.length = (ULONG)handset->shape.input_report_length - 1;
        RtlZeroMemory(padded.payload + report->length, VH_MAX_REPORT_PAYLOAD - report->length);
        read = irp_queue_pop_locked(&handset->reads);
        /* The host has not read for VH_INPUT_QUEUE_LENGTH reports: the sender learns of it. */
        if (!read && !report_ring_push(&handset->inputs, &padded)) status = STATUS_INSUFFICIENT_RESOURCES;
    }
    KeReleaseSpinLock(&g_bus.lock, irql);

    if (read) complete_read(read, &padded);
    return status;
}
