// The smoke check's plugging: in, out under use, straight back in, at once, and over and over.
#pragma once

#include <windows.h>

#include <string>

#include "device_notices.h"
#include "hid_handset.h"
#include "verdicts.h"
#include "virtual_handset_link.h"

namespace smoke {

// A device-change notice of `kind` after `mark`, as a window registered for HID interfaces gets it.
void CheckNotice(Verdicts& verdicts, DeviceNotices& notices, WPARAM kind, size_t mark, DWORD calledAt,
                 const std::string& name);
// Plugs the handset in and opens it once its interface is listed.
bool PlugAndOpen(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset, const std::string& when);
void UnplugUnderUse(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset);
void ReplugAtOnce(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset);
void PlugAndPullAtOnce(Verdicts& verdicts, vhandset::Link& link);
void CheckCycles(Verdicts& verdicts, vhandset::Link& link, int cycles);

}  // namespace smoke
