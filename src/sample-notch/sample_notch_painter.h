#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sample_notch_identity.h"

namespace quillon {

// Collapsed and expanded sizes of the sample surface, in pixels. The expanded panel is
// taller than 64 so that it passes the same top-centre size tests as a real notch app.
inline constexpr int kSampleCollapsedWidth = 200;
inline constexpr int kSampleCollapsedHeight = 32;
inline constexpr int kSampleExpandedWidth = 420;
inline constexpr int kSampleExpandedHeight = 120;

// Paints the sample surface into width × height premultiplied ARGB pixels (0xAARRGGBB,
// row-major from the top row): a rounded body in the identity's colour whose corner pixels
// are fully transparent and whose inside is fully opaque, with the identity's drawing in
// a lighter shade. Edges are anti-aliased, so alpha between 0 and 255 occurs only there.
std::vector<std::uint32_t> paintSampleNotch(const SampleNotchIdentity& identity, int width, int height, bool expanded);
// The app's icon, size × size pixels in the same format: its drawing on a rounded tile
// of its colour, so that each sample app is told apart in the carousel.
std::vector<std::uint32_t> paintSampleIcon(const SampleNotchIdentity& identity, int size);
// Writes such pixels as a PNG file (straight alpha, as PNG stores it); false on failure.
bool writeSamplePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height);

}  // namespace quillon
