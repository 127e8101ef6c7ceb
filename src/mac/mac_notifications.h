#pragma once

// Objective-C++ only: included by the .mm files of this layer.
#import <Foundation/Foundation.h>

#include <functional>

#include "core/async/subscription.h"

namespace quillon {

// Calls `handler` on the main thread for each `name` posted to `center`, until the
// subscription ends. A notification already queued when it ends is not delivered, also
// when the handler itself ends the subscription.
Subscription macObserve(NSNotificationCenter* center, NSNotificationName name,
                        std::function<void(NSNotification*)> handler);

}  // namespace quillon
