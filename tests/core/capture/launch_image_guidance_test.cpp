#include "core/capture/launch_image_guidance.h"

#include <gtest/gtest.h>

#include "core/async/launch_async_wait_error.h"
#include "core/capture/launch_capture_guide_catalog.h"
#include "core/capture/surface_capture_error.h"
#include "support/scoped_environment.h"

namespace quillon {
namespace {

using Code = SurfaceCaptureError::Code;

TEST(LaunchCaptureIssue, OnlyImageFailuresBecomeIssues) {
  const struct {
    Code code;
    std::optional<LaunchCaptureIssue> issue;
  } rows[] = {
      {Code::captureExcluded, LaunchCaptureIssue::applicationExcluded},
      {Code::permissionMissing, LaunchCaptureIssue::screenPermissionMissing},
      {Code::imageCaptureFailed, LaunchCaptureIssue::unavailable},
      {Code::captureTimedOut, LaunchCaptureIssue::unavailable},
      {Code::staleCapture, std::nullopt},
      {Code::targetUnavailable, std::nullopt},
      {Code::emptyAlpha, std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(SurfaceCaptureError::of(row.code).description());
    EXPECT_EQ(row.issue, captureIssue(SurfaceCaptureError::of(row.code)));
  }
  EXPECT_EQ(std::nullopt, captureIssue(LaunchAsyncWaitError::timedOut)) << "not a capture error";
}

TEST(LaunchImageStatus, SharingStateZeroOrAnExcludedCaptureMeansTheHostExcludes) {
  EXPECT_TRUE(LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, 0, std::nullopt).hostExcludesCapture);
  EXPECT_FALSE(LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, 1, std::nullopt).hostExcludesCapture);
  EXPECT_FALSE(
      LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, std::nullopt, std::nullopt).hostExcludesCapture);
  EXPECT_TRUE(LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, 2, LaunchCaptureIssue::applicationExcluded)
                  .hostExcludesCapture);
  // A capture that met a missing permission outranks a stale "allowed".
  EXPECT_FALSE(LaunchImageStatus::make(LaunchImageRoute::preview, true, 2, LaunchCaptureIssue::screenPermissionMissing)
                   .screenCaptureAllowed);
}

TEST(LaunchImageGuidance, SummaryAndDetailsPerSituation) {
  ScopedEnvironment language("LC_ALL", "ja_JP.UTF-8");
  const std::string permission =
      "画像を使いたい場合だけ、システム設定 › プライバシーとセキュリティ › 画面収録でQuillonを許可してください。"
      "アプリ側の共有制限がある場合は、この許可だけでは画像を取得できません。";
  const std::string unconfirmed =
      "この版に画像共有を変更する設定があるかは未確認です。設定を探したり変更したりする必要はありません。";
  const std::string boringHint = "BoringNotch設定 › Advanced › Hide from screen recording をOFFに。";
  const struct {
    const char* name;
    LaunchImageStatus status;
    LaunchCaptureSettingKnowledge setting;
    std::string summary;
    std::string details;
  } rows[] = {
      {"icons, allowed, no issue", LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, 1, std::nullopt),
       LaunchCaptureSettingKnowledge::unknown(), "画像なしで切替できます。設定変更は不要です。", ""},
      {"permission missing and host excludes",
       LaunchImageStatus::make(LaunchImageRoute::iconOnly, false, 0, std::nullopt),
       LaunchCaptureGuideCatalog::knowledge("com.example.other"),
       "画像なしで切替できます。設定変更は不要です。\nQuillonの画面収録は未許可です。",
       permission + "\n\n" + unconfirmed},
      {"boringnotch excluded", LaunchImageStatus::make(LaunchImageRoute::preview, true, 0, std::nullopt),
       LaunchCaptureGuideCatalog::knowledge("theboringteam.boringnotch"),
       "画像付きで切替できます。\nアプリが画像共有を停止しています。",
       unconfirmed + "\n\n参考：確認したソースにある設定例（現在の版での存在は未確認）\n" + boringHint +
           "\n見つからなければ変更不要です。共有を有効にすると、他の画面収録にも映ります。"},
      {"verified setting",
       LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, std::nullopt, LaunchCaptureIssue::applicationExcluded),
       LaunchCaptureSettingKnowledge::verified(
           LocalizedText("BoringNotch設定 › Advanced › Hide from screen recording をOFFに。")),
       "画像なしで切替できます。設定変更は不要です。\nアプリが画像共有を停止しています。",
       "画像を使いたい場合の任意の操作：\n" + boringHint + "\n共有を有効にすると、他の画面収録にも映ります。"},
      {"no setting", LaunchImageStatus::make(LaunchImageRoute::iconOnly, true, 0, std::nullopt),
       LaunchCaptureSettingKnowledge::unavailable(),
       "画像なしで切替できます。設定変更は不要です。\nアプリが画像共有を停止しています。",
       "このアプリには確認済みの設定変更手段がありません。画像なしで利用してください。"},
      {"unexplained failure, menu only",
       LaunchImageStatus::make(LaunchImageRoute::menuOnly, true, 1, LaunchCaptureIssue::unavailable),
       LaunchCaptureSettingKnowledge::unknown(),
       "ノッチ上の操作は未確認です。メニューバーのQuillonからアプリを選べます。\n画像を取得できませんでした。原因は未確"
       "認です。",
       "拒否や設定不足とは断定できません。画像が必要な場合は、アプリの表示が落ち着いてから再度操作できます。"
       "画像なしの切替やメニュー切替を続けるための設定変更は不要です。"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const LaunchImageGuidance guidance(row.status, row.setting);
    EXPECT_EQ(row.summary, guidance.summary);
    EXPECT_EQ(row.details, guidance.details);
  }
}

}  // namespace
}  // namespace quillon
