// The Skype stand-in's launcher on winsim.
#include "skype/skype_process.h"

#include <winsim/control.h>

#include <utility>

namespace sim {
namespace {

SkypeConfig inProcess(SkypeConfig config, DWORD processId) {
    config.onThreadStart = [processId, then = std::move(config.onThreadStart)] {
        winsim::setCurrentProcessId(processId);
        if (then) then();
    };
    return config;
}

}  // namespace

SimulatedSkype::SimulatedSkype(SkypeConfig config, DWORD processId)
    : SkypeClient(inProcess(std::move(config), processId)) {}

}  // namespace sim
