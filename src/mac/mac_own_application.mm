#include "mac/mac_own_application.h"

#import <Foundation/Foundation.h>

namespace quillon {

LaunchOwnApplication macOwnApplication() {
  NSString* executable = [NSBundle mainBundle].executablePath;
  return LaunchOwnApplication::fromExecutablePath(executable != nil ? executable.fileSystemRepresentation : "");
}

}  // namespace quillon
