#pragma once

#include "core/bundle/own_application.h"

namespace quillon {

// This process's identity, from the main bundle's executable (inside Quillon.app, or a
// bare executable in a build tree).
OwnApplication macOwnApplication();

}  // namespace quillon
