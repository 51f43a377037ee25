// The structures the library hands to the system have the sizes the system expects. The 32-bit build is the
// primary target and its layouts are proven here at compile time; the 64-bit ones alongside.
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>

constexpr bool k32Bit = sizeof(void*) == 4;

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32);
static_assert(sizeof(DEV_BROADCAST_HANDLE) == (k32Bit ? 44 : 56));
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (k32Bit ? 28 : 32));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (k32Bit ? 5 : 8));
