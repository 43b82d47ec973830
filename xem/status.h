// Status lives with the platform layer, which every library uses; this name stays for
// the code that includes it from here.
#pragma once

#include "platform/status.h"
