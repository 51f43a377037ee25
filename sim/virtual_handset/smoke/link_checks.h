// What the link promises beyond carrying reports: refusals, time-outs and release.
#pragma once

#include "verdicts.h"
#include "virtual_handset_link.h"

namespace smoke {

// With a handset plugged in and no output report waiting.
void CheckLinkPromises(Verdicts& verdicts, vhandset::Link& link);

}  // namespace smoke
