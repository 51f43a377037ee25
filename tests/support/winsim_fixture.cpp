#include "support/winsim_fixture.h"
