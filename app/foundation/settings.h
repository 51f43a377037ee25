// What the program reads from and writes to the registry about itself and Skype.
#pragma once

#include <string>

namespace phonedock {

// Writes the device library's file name as the value "USB PHONE" of HKCU\Software\Zentary\DLL\LastTime.
void RecordLoadedLibrary(const char* fileName);

// Reads a string value of Skype's own settings, HKCU\SOFTWARE\Skype\<subkey>. Empty when the key or value is
// missing, and when the value does not fit the 100-byte buffer it is read into: a cut command line could
// start a different program.
std::string ReadSkypeSetting(const char* subkey, const char* valueName);

}  // namespace phonedock
