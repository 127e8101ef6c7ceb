#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

// How a sample notch app draws its expanded panel, so that previews of different sample
// apps are told apart at a glance.
enum class SampleNotchStyle { rings, bars, dots };

// How the surface keeps itself above normal windows. Each kind lands on a different layer
// of the window list, which lets tests cover all of them with the same program.
enum class SampleNotchWindowKind { overrideRedirect, dock, above };

// How the app answers a normal quit. The misbehaving kinds exist so that a switcher's
// failure paths can run against real processes; a launched bundle gets no arguments,
// so the kind comes from the bundle too.
enum class SampleNotchBehavior { exitOnTerm, ignoreTerm, exitAtOnce };

// The identity a sample notch app reads from its own bundle's Info.plist.
struct SampleNotchIdentity {
  std::string name = "Sample";        // CFBundleDisplayName, else CFBundleName
  std::string bundleName = "Sample";  // CFBundleName: ASCII names for WM_NAME and WM_CLASS
  std::string bundleIdentifier;
  std::uint32_t color = 0x5a6270;  // 0xRRGGBB of the panel body
  SampleNotchStyle style = SampleNotchStyle::rings;
  SampleNotchWindowKind windowKind = SampleNotchWindowKind::overrideRedirect;
  SampleNotchBehavior behavior = SampleNotchBehavior::exitOnTerm;
};

// Reads the identity from an Info.plist (XML or binary). Keys: CFBundleDisplayName (else
// CFBundleName), CFBundleIdentifier, and the custom "QuillonSampleColor" ("#RRGGBB"),
// "QuillonSampleStyle" ("rings", "bars", "dots"), "QuillonSampleWindowKind"
// ("override-redirect", "dock", "above") and "QuillonSampleBehavior" ("exitOnTerm",
// "ignoreTerm", "exitAtOnce"). Missing keys keep their defaults; an unreadable
// file or a malformed value gives nothing and a reason in `error`.
std::optional<SampleNotchIdentity> readSampleNotchIdentity(const std::string& plistPath, std::string& error);

// The Info.plist of the bundle that holds the running executable
// (<bundle>/Contents/MacOS/<exe> → <bundle>/Contents/Info.plist), or empty when the
// executable cannot be resolved.
std::string ownBundleInfoPlistPath();

}  // namespace quillon
