/* The virtual handset's bus driver: one root-enumerated bus, at most one handset on it, and the control
 * device through which a test plugs the handset in and out and plays its reports. */
#pragma once

#include <ddk/wdm.h>

#include "control_protocol.h"
#include "hid_minidriver_defs.h"
#include "irp_queue.h"
#include "report_ring.h"

/* Input reports sent while the host has no read waiting, and output reports the host wrote that no test
 * has taken yet. */
#define VH_INPUT_QUEUE_LENGTH 64
#define VH_OUTPUT_QUEUE_LENGTH 256

/* A report descriptor: vendor-defined input and output reports of plain bytes. */
#define VH_REPORT_DESCRIPTOR_MAX 32

enum vh_device_kind { VH_BUS_FDO = 1, VH_HANDSET_PDO, VH_CONTROL_DEVICE };

/* Every device object of this driver starts its extension with its kind. */
struct vh_device_header {
    enum vh_device_kind kind;
};

/* The handset: the bus's child device, below hidclass and the minidriver. */
struct handset {
    struct vh_device_header header;
    ULONG number; /* tells successive handsets apart in their device names */
    struct vh_plug_request shape;
    UCHAR report_descriptor[VH_REPORT_DESCRIPTOR_MAX];
    USHORT report_descriptor_length;
    BOOLEAN present;  /* on the bus; cleared when it is unplugged */
    BOOLEAN reported; /* Plug and Play has seen it among the bus's children */
    BOOLEAN removed;  /* Plug and Play is taking it away: reads fail from now on */
    struct irp_queue reads;
    struct report_ring inputs;
    struct vh_report input_slots[VH_INPUT_QUEUE_LENGTH];
};

struct bus_fdo {
    struct vh_device_header header;
};

struct control_device {
    struct vh_device_header header;
};

/* The one bus's state. A second root device of this driver is refused. */
struct bus {
    KSPIN_LOCK lock;  /* guards what follows, the handsets' queues and their present and removed flags */
    KEVENT plug_gate; /* one plug or unplug at a time */
    PDEVICE_OBJECT fdo;
    PDEVICE_OBJECT lower; /* the root device the bus sits on */
    PDEVICE_OBJECT control;
    BOOLEAN control_link;
    BOOLEAN started;
    PDEVICE_OBJECT handset;  /* plugged in and reported on the bus */
    PDEVICE_OBJECT retiring; /* unplugged, until Plug and Play removes it */
    struct irp_queue takers; /* VH_IOCTL_TAKE_OUTPUT requests waiting for a report */
    struct report_ring outputs;
    ULONG dropped_outputs;
    ULONG plug_count;
    struct vh_report output_slots[VH_OUTPUT_QUEUE_LENGTH];
};

extern struct bus g_bus;

static inline enum vh_device_kind device_kind(PDEVICE_OBJECT device) {
    return ((struct vh_device_header*)device->DeviceExtension)->kind;
}

static inline struct handset* handset_of(PDEVICE_OBJECT device) {
    return device->DeviceExtension;
}

static inline NTSTATUS complete_irp(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* handset.c */
NTSTATUS handset_create(const struct vh_plug_request* shape, PDEVICE_OBJECT* out);
NTSTATUS handset_pnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS handset_power(PDEVICE_OBJECT device, PIRP irp);
/* Fails its reads and drops its queued reports; with the bus lock held, the reads go onto `reads`. */
void handset_stop_locked(struct handset* handset, PLIST_ENTRY reads);

/* handset_hid.c */
void handset_build_descriptor(struct handset* handset);
NTSTATUS handset_internal_ioctl(PDEVICE_OBJECT device, PIRP irp);
/* Delivers an input report to a pending read or queues it. */
NTSTATUS handset_send_input(const struct vh_report* report);

/* control.c */
NTSTATUS control_create(PDRIVER_OBJECT driver);
void control_delete(void);
NTSTATUS control_dispatch(PDEVICE_OBJECT device, PIRP irp);
/* The host wrote an output report: hand it to a waiting take, or queue it. */
void control_output_written(const struct vh_report* report);

/* bus_fdo.c */
NTSTATUS bus_add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT root);
NTSTATUS bus_fdo_pnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS bus_plug(const struct vh_plug_request* shape);
NTSTATUS bus_unplug(void);
