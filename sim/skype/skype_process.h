// The Skype stand-in on winsim as the other program that it is on Windows: its thread belongs to a
// simulated process of its own, so GetWindowThreadProcessId tells Skype's windows from the program's.
#pragma once

#include "skype/skype_client.h"

#include <windows.h>

namespace sim {

// The program under test is process 1000 on winsim.
constexpr DWORD kSkypeProcessId = 2000;

class SimulatedSkype : public SkypeClient {
  public:
    explicit SimulatedSkype(SkypeConfig config = {}, DWORD processId = kSkypeProcessId);
};

}  // namespace sim
