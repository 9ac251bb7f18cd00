// The forum addresses this executable was built with.
#pragma once

#include "app/composition.h"

namespace brevane::app {
Endpoints BuiltInEndpoints();
}  // namespace brevane::app
