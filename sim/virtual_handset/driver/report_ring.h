/* A bounded first-in, first-out store of reports in memory the owner provides, so a plugged handset and
 * the bus never allocate per report and have nothing to leak. Callers hold the bus lock. */
#pragma once

#include <ddk/wdm.h>

#include "control_protocol.h"

struct report_ring {
    struct vh_report* slots;
    ULONG capacity;
    ULONG head;
    ULONG count;
};

void report_ring_init(struct report_ring* ring, struct vh_report* slots, ULONG capacity);
/* FALSE when full. */
BOOLEAN report_ring_push(struct report_ring* ring, const struct vh_report* report);
/* Makes room by dropping the oldest report when full; TRUE when one was dropped. */
BOOLEAN report_ring_push_over(struct report_ring* ring, const struct vh_report* report);
/* FALSE when empty. */
BOOLEAN report_ring_pop(struct report_ring* ring, struct vh_report* report);
