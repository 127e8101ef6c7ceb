#include "mac/mac_own_application.h"

#import <Foundation/Foundation.h>

namespace quillon {

OwnApplication macOwnApplication() {
  NSString* executable = [NSBundle mainBundle].executablePath;
  return OwnApplication::fromExecutablePath(executable != nil ? executable.fileSystemRepresentation : "");
}

}  // namespace quillon
