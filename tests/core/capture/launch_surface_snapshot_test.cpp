#include "core/capture/launch_surface_snapshot.h"

#include <gtest/gtest.h>

#include "core/capture/snapshot_fixture.h"
#include "support/surface_images.h"

namespace quillon {
namespace {

LaunchSurfaceSnapshot snapshotOf(Bitmap image) {
  return testing_snapshots::snapshotOf(std::move(image), {400, 0, 200, 80}, {.sampledAtUptime = 100},
                                       Rect{10, 0, 180, 70});
}

TEST(LaunchSurfaceSnapshot, IsFreshOnlyForItsOwnerWithinTheAge) {
  const auto snapshot = snapshotOf(roundedSurfaceImage(200, 80, 10));
  const struct {
    const char* name;
    double now, maximumAge;
    std::int32_t pid;
    std::optional<std::uint32_t> window;
    bool fresh;
  } rows[] = {
      {"at capture time", 100, 1.25, 42, std::nullopt, true},
      {"exactly at the maximum age", 101.25, 1.25, 42, 7u, true},
      {"just older", 101.2500001, 1.25, 42, 7u, false},
      {"from the future", 99.9, 1.25, 42, std::nullopt, false},
      {"other process", 100.5, 1.25, 43, std::nullopt, false},
      {"other window", 100.5, 1.25, 42, 8u, false},
      {"negative age limit", 100, -1, 42, std::nullopt, false},
      {"age limit not finite", 100, INFINITY, 42, std::nullopt, false},
      {"now not finite", NAN, 1.25, 42, std::nullopt, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.fresh, snapshot.isFresh(row.now, row.maximumAge, row.pid, row.window));
    EXPECT_EQ(row.fresh, snapshot.hitTest({500, 40}, row.now, row.maximumAge, row.pid, row.window));
  }
  EXPECT_FALSE(snapshot.hitTest({400.5, 79.5}, 100, 1, 42));  // a transparent corner
}

TEST(LaunchSurfaceSnapshot, CropsToThePresentedPixelsOrNothing) {
  Bitmap image = filledImage(200, 80, 1, 2, 3, 255);
  image.pixel(10, 0)[0] = 99;
  auto snapshot = snapshotOf(std::move(image));
  const auto cropped = snapshot.croppedImage();
  ASSERT_TRUE(cropped);
  EXPECT_EQ(180, cropped->width);
  EXPECT_EQ(70, cropped->height);
  EXPECT_EQ(99, cropped->pixel(0, 0)[0]);
  EXPECT_EQ(1, cropped->pixel(1, 0)[0]);

  snapshot.presentationPixelBounds = {10, 0, 191, 70};
  EXPECT_FALSE(snapshot.croppedImage());
  snapshot.presentationPixelBounds = {-1, 0, 10, 10};
  EXPECT_FALSE(snapshot.croppedImage());
}

}  // namespace
}  // namespace quillon
