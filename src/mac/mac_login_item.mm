#include "mac/mac_login_item.h"

#import <ServiceManagement/ServiceManagement.h>

namespace quillon {

bool MacLoginItem::isEnabled() { return SMAppService.mainAppService.status == SMAppServiceStatusEnabled; }

bool MacLoginItem::setEnabled(bool enabled) {
  SMAppService* service = SMAppService.mainAppService;
  NSError* error = nil;
  return enabled ? [service registerAndReturnError:&error] : [service unregisterAndReturnError:&error];
}

}  // namespace quillon
