#include "desktop/qt_workspace_icons.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageWriter>

#include "support/temporary_directory.h"
#include "support/test_app_bundle.h"

namespace quillon {
namespace {

// Bundles of the home platform carry ".icns" icons, which Qt reads through the image
// format plugins; a plain PNG works as well, and anything else is no icon.
TEST(QtWorkspaceIcons, ReadsIcnsAndPngFittedToTheSizeAndRefusesOtherFiles) {
  TemporaryDirectory temporary;
  QImage drawn(64, 32, QImage::Format_ARGB32);
  drawn.fill(QColor(200, 40, 20));
  const auto png = (temporary / "Icon.png").string();
  ASSERT_TRUE(drawn.save(QString::fromStdString(png), "PNG"));
  const auto icns = (temporary / "Icon.icns").string();
  const bool icnsWritten = QImageWriter::supportedImageFormats().contains("icns") &&
                           drawn.scaled(64, 64).save(QString::fromStdString(icns), "ICNS");
  writeTestFile(temporary / "Garbage.icns", "icns? no");

  for (const auto& path : {png, icns}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(path != icns || icnsWritten) << "the image format plugins are missing";
    const auto icon = qtImageFileIcon(path, 128);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(128, icon->width);
    EXPECT_EQ(128, icon->height);
    EXPECT_EQ(200, icon->pixel(64, 64)[0]);
    EXPECT_EQ(255, icon->pixel(64, 64)[3]);
  }
  EXPECT_EQ(0, qtImageFileIcon(png, 128)->pixel(64, 10)[3]) << "a wide image is centred, not stretched";
  EXPECT_FALSE(qtImageFileIcon((temporary / "Garbage.icns").string(), 128));
  EXPECT_FALSE(qtImageFileIcon((temporary / "Missing.png").string(), 128));

  const auto generic = qtGenericApplicationIcon(96);
  ASSERT_TRUE(generic.has_value());
  EXPECT_EQ(96, generic->width);
  int opaque = 0;
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 96; ++x) opaque += generic->pixel(x, y)[3] == 255 ? 1 : 0;
  }
  EXPECT_GT(opaque, 96 * 96 / 10) << "an icon, not a transparent square";
}

}  // namespace
}  // namespace quillon
