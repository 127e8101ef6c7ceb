#include "core/capture/launch_capture_guide_catalog.h"

#include <map>
#include <string>

namespace quillon {

LaunchCaptureSettingKnowledge LaunchCaptureGuideCatalog::knowledge(std::string_view bundleIdentifier) {
  static const std::map<std::string, LocalizedText, std::less<>> hints{
      {"com.workview.SuperIsland", LocalizedText("SuperIsland設定 › General › Show in screen recordings をONに。")},
      {"theboringteam.boringnotch", LocalizedText("BoringNotch設定 › Advanced › Hide from screen recording をOFFに。")},
  };
  const auto found = hints.find(bundleIdentifier);
  if (found == hints.end()) return LaunchCaptureSettingKnowledge::unknown();
  return LaunchCaptureSettingKnowledge::unknown(found->second);
}

}  // namespace quillon
