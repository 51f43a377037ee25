// The interactive simulator: the world shown in the terminal and driven from the keyboard.
#pragma once

namespace phonedocksim {

// Answers the process exit status. Needs a terminal on standard input and output.
int runInteractive();

}  // namespace phonedocksim
