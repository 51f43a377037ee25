// While Skype is not attached, handset keys type into whatever window has the keyboard focus.
#pragma once

namespace phonedock {

void EmulateKeystroke(int code);

}  // namespace phonedock
