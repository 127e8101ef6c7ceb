#include "core/overlay/launch_presentation_record.h"

#include <gtest/gtest.h>

#include "core/capture/snapshot_fixture.h"

namespace quillon {
namespace {

TEST(LaunchPresentationRecord, AcceptsOnlyImagesOfThePresentedSourceOnItsDisplay) {
  const Uuid source = Uuid::random();
  LaunchPresentationRecord record;
  record.sourceID = source;
  record.sourcePID = 4242;
  record.sourceWindowID = 77;
  record.displayFrame = GlobalRect{0, 0, 1512, 982};
  record.applications[source] = ManagedNotchApp{};
  Bitmap image = Bitmap::transparent(4, 4);
  image.pixel(1, 1)[3] = 255;
  auto good = testing_snapshots::snapshotOf(image, {656, 0, 200, 32}, {.processID = 4242, .windowID = 77});
  good.sourceWindows.insert(good.sourceWindows.begin(), {12, {}, 0});

  struct Row {
    const char* name;
    void (*change)(LaunchPresentationRecord&, LaunchSurfaceSnapshot&, Uuid&);
    bool accepted;
  };
  const Row rows[] = {
      {"the presented source", [](auto&, auto&, auto&) {}, true},
      {"another app", [](auto&, auto&, Uuid& id) { id = Uuid::random(); }, false},
      {"another process", [](auto&, LaunchSurfaceSnapshot& s, auto&) { s.processID = 4243; }, false},
      {"another window", [](auto&, LaunchSurfaceSnapshot& s, auto&) { s.sourceWindows.pop_back(); }, false},
      {"across the display edge", [](auto&, LaunchSurfaceSnapshot& s, auto&) { s.visibleQuartzRect.x = 1400; }, false},
      {"no window recorded", [](LaunchPresentationRecord& r, auto&, auto&) { r.sourceWindowID.reset(); }, false},
      {"no display recorded", [](LaunchPresentationRecord& r, auto&, auto&) { r.displayFrame.reset(); }, false},
      {"not among the apps", [](LaunchPresentationRecord& r, auto&, auto&) { r.applications.clear(); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LaunchPresentationRecord r = record;
    LaunchSurfaceSnapshot s = good;
    Uuid id = source;
    row.change(r, s, id);
    EXPECT_EQ(r.accepts(s, id), row.accepted);
  }
}

}  // namespace
}  // namespace quillon
