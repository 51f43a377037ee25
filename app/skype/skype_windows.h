// Finding Skype's own windows: its main window among the top-level windows of the thread that owns its API
// window.
#pragma once

#include <windows.h>

namespace phonedock {

// Skype's main window, from the cache while that window exists, else searched afresh; null when none.
// Leaves the answer in skypeMainWindow.
HWND FindSkypeMainWindow();

// The first "Edit" descendant of Skype's main window, where Skype collects a number or name; null when none.
HWND FindSkypeEditField();
// Empties the edit field; returns it, or null when there is none.
HWND ClearSkypeEditField();
// Deletes the last character typed into the edit field.
void SendBackspaceToSkypeEdit();

// Enumeration callbacks: each stores a window that passes its test at *lParam (an HWND*) and stops.
BOOL CALLBACK MatchSkypeMainByClass(HWND window, LPARAM found);
BOOL CALLBACK MatchSkypeMainByTitle(HWND window, LPARAM found);
BOOL CALLBACK MatchEditChild(HWND window, LPARAM found);

}  // namespace phonedock
