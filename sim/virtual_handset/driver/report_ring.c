#include "report_ring.h"

void report_ring_init(struct report_ring* ring, struct vh_report* slots, ULONG capacity) {
    ring->slots = slots;
    ring->capacity = capacity;
    ring->head = 0;
    ring->count = 0;
}

BOOLEAN report_ring_push(struct report_ring* ring, const struct vh_report* report) {
    if (ring->count == ring->capacity) return FALSE;
    ring->slots[(ring->head + ring->count) % ring->capacity] = *report;
    ring->count++;
    return TRUE;
}

BOOLEAN report_ring_push_over(struct report_ring* ring, const struct vh_report* report) {
    BOOLEAN dropped = FALSE;
    if (ring->count == ring->capacity) {
        ring->head = (ring->head + 1) % ring->capacity;
        ring->count--;
        dropped = TRUE;
    }
    report_ring_push(ring, report);
    return dropped;
}

BOOLEAN report_ring_pop(struct report_ring* ring, struct vh_report* report) {
    if (ring->count == 0) return FALSE;
    *report = ring->slots[ring->head];
    ring->head = (ring->head + 1) % ring->capacity;
    ring->count--;
    return TRUE;
}
