#pragma once

// WORKAROUND(xcb-xkb 1.15): the generated header names a field `explicit`, which C++
// reads as the keyword and rejects. Include XKB only through this header.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
