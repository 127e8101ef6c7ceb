#include "mac/mac_locale.h"

#import <Foundation/Foundation.h>

namespace quillon {

std::string MacLocale::preferredLanguage() const {
  NSString* first = [NSLocale preferredLanguages].firstObject;
  return first != nil ? std::string(first.UTF8String) : std::string();
}

}  // namespace quillon
