// The groups of checks. Each starts its own run of the program and ends it with WM_CLOSE, so a failure in
// one group does not carry into the next.
#pragma once

#include "session.h"

namespace sim {
class VirtualHandset;
}

namespace e2e {

void runStartupChecks(Environment& env);          // checks_startup.cpp
void runLateSkypeChecks(Environment& env);        // checks_attach.cpp
void runSkypeLossChecks(Environment& env);        // checks_attach.cpp
void runCallChecks(Environment& env);             // checks_calls.cpp
void runBadNotificationChecks(Environment& env);  // checks_bad_input.cpp
void runNoLibraryChecks(Environment& env);        // checks_bad_input.cpp
void runAboutChecks(Environment& env);            // checks_about.cpp
void runDesktopChecks(Environment& env);          // checks_desktop.cpp
// With the virtual handset; each group plugs it in and pulls it out again.
void runHandsetChecks(Environment& env, sim::VirtualHandset& handset);      // checks_handset.cpp
void runHandsetPlugChecks(Environment& env, sim::VirtualHandset& handset);  // checks_handset_plug.cpp
void runProbeChecks(Environment& env, sim::VirtualHandset& handset);        // checks_probe.cpp

}  // namespace e2e
