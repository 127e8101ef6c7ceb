#include "mac/mac_notifications.h"

#include <memory>

namespace quillon {

Subscription macObserve(NSNotificationCenter* center, NSNotificationName name,
                        std::function<void(NSNotification*)> handler) {
  auto live = std::make_shared<std::function<void(NSNotification*)>>(std::move(handler));
  id observer = [center addObserverForName:name
                                    object:nil
                                     queue:[NSOperationQueue mainQueue]
                                usingBlock:^(NSNotification* notification) {
                                  // Through a copy: the handler may end its own subscription.
                                  if (auto call = *live) call(notification);
                                }];
  return Subscription([center, observer, live] {
    *live = nullptr;
    [center removeObserver:observer];
  });
}

}  // namespace quillon
