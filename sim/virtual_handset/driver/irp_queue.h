/* Requests the bus keeps waiting: the host's reads in a handset, the test's takes of output reports.
 * Each can be cancelled while it waits (CancelIoEx, or its handle closing), so whoever takes one out
 * must allow for its cancel routine having won the race. All calls hold the queue's lock, which the
 * caller owns, and no request is ever completed under it. */
#pragma once

#include <ddk/wdm.h>

struct irp_queue {
    PKSPIN_LOCK lock;
    LIST_ENTRY irps;
    ULONG count;
};

void irp_queue_init(struct irp_queue* queue, PKSPIN_LOCK lock);

/* Queues a request, marked pending. STATUS_PENDING, or STATUS_CANCELLED when it was cancelled before
 * it could be queued; the caller then completes it. */
NTSTATUS irp_queue_insert_locked(struct irp_queue* queue, PIRP irp);

/* The oldest request that can still be completed, or NULL. */
PIRP irp_queue_pop_locked(struct irp_queue* queue);

/* Moves every request that can still be completed onto `out`, to be completed once the lock is
 * released (see irp_queue_complete_all): all of them, or those made through one file object. */
void irp_queue_drain_locked(struct irp_queue* queue, PFILE_OBJECT only_from, PLIST_ENTRY out);

/* Completes every request on a list made by irp_queue_drain_locked. */
void irp_queue_complete_all(PLIST_ENTRY list, NTSTATUS status);
