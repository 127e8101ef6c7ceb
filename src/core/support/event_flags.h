#pragma once

#include <cstdint>

namespace quillon {

// Modifier flags in the platform's event-flag bit layout. Each platform's input adapter
// maps its own modifiers onto these bits; other bits (Caps Lock, Fn, device bits) may be
// set and are ignored by the chord.
using EventFlags = std::uint64_t;

}  // namespace quillon
