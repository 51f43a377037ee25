// The structures the program hands to the system and to Skype have the sizes they expect. The 32-bit build
// is the primary target and its layouts are proven here at compile time; the 64-bit ones alongside.
#include <windows.h>
#include <shellapi.h>

constexpr bool k32Bit = sizeof(void*) == 4;

static_assert(sizeof(COPYDATASTRUCT) == (k32Bit ? 12 : 24));  // the header of every notification block
static_assert(NOTIFYICONDATAA_V1_SIZE == (k32Bit ? 88 : 104));
static_assert(sizeof(TPMPARAMS) == 20);
