#include "irp_queue.h"

/* Where a queued request finds its queue from its cancel routine. */
#define QUEUE_OF(irp) ((irp)->Tail.Overlay.DriverContext[0])

static VOID NTAPI cancel_queued(PDEVICE_OBJECT device, PIRP irp) {
    struct irp_queue* queue = QUEUE_OF(irp);
    KIRQL irql;

    (void)device;
    IoReleaseCancelSpinLock(irp->CancelIrql);

    KeAcquireSpinLock(queue->lock, &irql);
    /* Still on the list unless a pop took it off first; then its entry points at itself. */
    if (!IsListEmpty(&irp->Tail.Overlay.ListEntry)) {
        RemoveEntryList(&irp->Tail.Overlay.ListEntry);
        queue->count--;
    }
    KeReleaseSpinLock(queue->lock, irql);

    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void irp_queue_init(struct irp_queue* queue, PKSPIN_LOCK lock) {
    queue->lock = lock;
    InitializeListHead(&queue->irps);
    queue->count = 0;
}

NTSTATUS irp_queue_insert_locked(struct irp_queue* queue, PIRP irp) {
    QUEUE_OF(irp) = queue;
    IoSetCancelRoutine(irp, cancel_queued);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) return STATUS_CANCELLED;
    /* Cancelled between the two lines above: the cancel routine runs once the lock is free and finds
     * the request queued, so queueing it is right either way. */
    IoMarkIrpPending(irp);
    InsertTailList(&queue->irps, &irp->Tail.Overlay.ListEntry);
    queue->count++;
    return STATUS_PENDING;
}

PIRP irp_queue_pop_locked(struct irp_queue* queue) {
    while (!IsListEmpty(&queue->irps)) {
        PLIST_ENTRY entry = RemoveHeadList(&queue->irps);
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, NULL) != NULL) {
            queue->count--;
            return irp;
        }
        /* Its cancel routine is about to run and complete it: leave the entry pointing at itself so
         * that routine knows it is off the list already, and count it out there. */
        InitializeListHead(entry);
        queue->count--;
    }
    return NULL;
}

void irp_queue_drain_locked(struct irp_queue* queue, PFILE_OBJECT only_from, PLIST_ENTRY out) {
    LIST_ENTRY kept;
    PIRP irp;

    InitializeListHead(&kept);
    while ((irp = irp_queue_pop_locked(queue)) != NULL) {
        if (!only_from || IoGetCurrentIrpStackLocation(irp)->FileObject == only_from) {
            InsertTailList(out, &irp->Tail.Overlay.ListEntry);
        } else {
            /* Back in, in order, once the queue has been gone through. */
            InsertTailList(&kept, &irp->Tail.Overlay.ListEntry);
        }
    }
    while (!IsListEmpty(&kept)) {
        irp = CONTAINING_RECORD(RemoveHeadList(&kept), IRP, Tail.Overlay.ListEntry);
        if (irp_queue_insert_locked(queue, irp) == STATUS_CANCELLED)
            InsertTailList(out, &irp->Tail.Overlay.ListEntry);
    }
}

void irp_queue_complete_all(PLIST_ENTRY list, NTSTATUS status) {
    while (!IsListEmpty(list)) {
        PIRP irp = CONTAINING_RECORD(RemoveHeadList(list), IRP, Tail.Overlay.ListEntry);
        irp->IoStatus.Status = status;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
}
