#pragma once

#include "core/bundle/own_application.h"

namespace quillon {

// This process's identity, found from the executable the kernel reports in
// /proc/self/exe (which survives a rename of the bundle while it runs).
OwnApplication linuxOwnApplication();

}  // namespace quillon
