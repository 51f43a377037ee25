// The program's pictures: its orange round emblem with a white sign for each use, and a telephone handset.
#pragma once

#include "picture.h"

namespace assetgen {

// The program's emblem: two white arrows turning in a circle on the orange round shape.
Picture emblemWithTurningArrows(int size);
// Tray, handset present and Skype attached: the emblem with a white arrow circle.
Picture emblemWithArrowCircle(int size);
// Tray, handset absent: the emblem with a white "no" sign.
Picture emblemWithNoSign(int size);
// Tray, Skype not attached: the emblem with a white exclamation mark.
Picture emblemWithExclamationMark(int size);
// A telephone handset.
Picture handset(int size);

}  // namespace assetgen
