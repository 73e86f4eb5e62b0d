// Where the platform draws shapes with hard edges, the system antialiases
// them itself. This line picks the implementation of that interface.
#pragma once

#include "drawing/antialiased_paint_standin.h"
