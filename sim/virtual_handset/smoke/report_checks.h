// The smoke check's report traffic, with the handset plugged in and open: output reports from the host to
// the link, input reports from the link to the host's reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hid_handset.h"
#include "verdicts.h"
#include "virtual_handset_link.h"

namespace smoke {

// Waits up to boundMs for hidclass's read to be pending in the handset.
bool WaitForPendingRead(vhandset::Link& link, DWORD boundMs);
// The host writes a patterned output report; the link must take it unchanged.
bool CarryOutput(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset, uint8_t seed,
                 const std::string& name);
// One output report and one input report.
void RoundTrip(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset, uint8_t seed,
               const std::string& when);
// Order and completeness: queued output reports, a burst and a short input report.
void CheckQueues(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset);
void CheckInputLatency(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset);
void CheckAbandonedTake(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset);

}  // namespace smoke
