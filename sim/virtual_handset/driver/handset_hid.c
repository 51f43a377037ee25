/* The handset's HID requests: hidclass's (passed down by the minidriver) and the test's input reports.
 * The host's reads wait here until the test sends an input report; the reports the host writes go to
 * the control device. */
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

void handset_build_descriptor(struct handset* handset) {
    RtlCopyMemory(handset->report_descriptor, descriptor_template, sizeof(descriptor_template));
    handset->report_descriptor[INPUT_COUNT_AT] = (UCHAR)(handset->shape.input_report_length - 1);
    handset->report_descriptor[OUTPUT_COUNT_AT] = (UCHAR)(handset->shape.output_report_length - 1);
    handset->report_descriptor_length = sizeof(descriptor_template);
}

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
