/* The requests a test program sends to the virtual handset's control device, shared by the bus driver
 * (64-bit, C) and the user-mode link (32- or 64-bit, C++). Every request is METHOD_BUFFERED and carries
 * fixed-size fields only, never a pointer, so a 32-bit caller and the 64-bit driver lay them out alike. */
#pragma once

#include <stdint.h>

/* Kernel name, its symbolic link, and the path user mode opens. */
#define VH_CONTROL_DEVICE_NAME L"\\Device\\PhonedockVirtualHandset"
#define VH_CONTROL_LINK_NAME L"\\DosDevices\\PhonedockVirtualHandset"
#define VH_CONTROL_PATH "\\\\.\\PhonedockVirtualHandset"

/* The bus by its root hardware id; the handset child by the id its minidriver is installed for. */
#define VH_BUS_HARDWARE_ID "ROOT\\PHONEDOCK_VHANDSET_BUS"
#define VH_BUS_INSTANCE_ID "ROOT\\PHONEDOCK_VHANDSET\\0000"

/* A report's payload, the report id byte not counted: a full-speed USB interrupt packet. */
#define VH_MAX_REPORT_PAYLOAD 64u

/* FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS, written out so the header needs neither
 * winioctl.h nor wdm.h. */
#define VH_CONTROL_CODE(function) ((0x22u << 16) | ((uint32_t)(function) << 2))

/* In: vh_plug_request. The handset arrives asynchronously after the request completes. Output reports
 * still queued from an earlier handset are dropped. Fails with STATUS_RETRY (ERROR_RETRY) while the last
 * handset unplugged is still being removed. */
#define VH_IOCTL_PLUG VH_CONTROL_CODE(0x800)
/* No buffers. Fails when no handset is plugged in. */
#define VH_IOCTL_UNPLUG VH_CONTROL_CODE(0x801)
/* In: vh_report, one input report. Completes one read the host has pending, or waits in a bounded
 * queue for the next one; fails when nothing is plugged in (ERROR_DEVICE_NOT_CONNECTED) or the queue is
 * full (ERROR_NO_SYSTEM_RESOURCES). */
#define VH_IOCTL_SEND_INPUT VH_CONTROL_CODE(0x802)
/* Out: vh_report, the oldest output report the host wrote. Stays pending until there is one; cancel it
 * (CancelIoEx, or closing the handle) to stop waiting. */
#define VH_IOCTL_TAKE_OUTPUT VH_CONTROL_CODE(0x803)
/* Out: vh_status. */
#define VH_IOCTL_STATUS VH_CONTROL_CODE(0x804)

struct vh_plug_request {
    uint16_t vendor_id;
    uint16_t product_id;
    /* As programs see them (HIDP_CAPS), the report id byte included: 2 to VH_MAX_REPORT_PAYLOAD + 1. */
    uint16_t input_report_length;
    uint16_t output_report_length;
};

struct vh_report {
    uint32_t length; /* payload bytes used */
    uint8_t report_id;
    uint8_t reserved[3];
    uint8_t payload[VH_MAX_REPORT_PAYLOAD];
};

struct vh_status {
    uint32_t plugged;         /* 1 while a handset is plugged in */
    uint32_t pending_reads;   /* the host's reads waiting in the handset for an input report */
    uint32_t queued_inputs;   /* input reports waiting for a read */
    uint32_t queued_outputs;  /* output reports waiting for VH_IOCTL_TAKE_OUTPUT */
    uint32_t dropped_outputs; /* output reports lost because nobody took them and the queue was full */
    uint32_t plug_count;      /* handsets plugged in since the driver started */
};

#ifdef __cplusplus
static_assert(sizeof(vh_plug_request) == 8, "one layout for 32- and 64-bit callers");
static_assert(sizeof(vh_report) == 72, "one layout for 32- and 64-bit callers");
static_assert(sizeof(vh_status) == 24, "one layout for 32- and 64-bit callers");
#else
_Static_assert(sizeof(struct vh_plug_request) == 8, "one layout for 32- and 64-bit callers");
_Static_assert(sizeof(struct vh_report) == 72, "one layout for 32- and 64-bit callers");
_Static_assert(sizeof(struct vh_status) == 24, "one layout for 32- and 64-bit callers");
#endif
