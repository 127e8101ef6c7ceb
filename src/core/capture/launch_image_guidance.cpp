#include "core/capture/launch_image_guidance.h"

#include <vector>

#include "core/localization/l10n.h"

namespace quillon {

namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const auto& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

LocalizedText routeLine(LaunchImageRoute route) {
  switch (route) {
    case LaunchImageRoute::preview: return LocalizedText("画像付きで切替できます。");
    case LaunchImageRoute::iconOnly: return LocalizedText("画像なしで切替できます。設定変更は不要です。");
    case LaunchImageRoute::menuOnly:
      return LocalizedText("ノッチ上の操作は未確認です。メニューバーのQuillonからアプリを選べます。");
  }
  return LocalizedText("画像なしで切替できます。設定変更は不要です。");
}

// The paragraphs about the app's own sharing setting.
std::vector<std::string> settingParagraphs(const LaunchCaptureSettingKnowledge& setting) {
  const auto line = [](const LocalizedText& text) { return L10n::text(text); };
  switch (setting.kind) {
    case LaunchCaptureSettingKnowledge::Kind::verified:
      return {line(LocalizedText("画像を使いたい場合の任意の操作：")) + "\n" +
              (setting.hint ? line(*setting.hint) : std::string()) + "\n" +
              line(LocalizedText("共有を有効にすると、他の画面収録にも映ります。"))};
    case LaunchCaptureSettingKnowledge::Kind::unknown: {
      std::vector<std::string> paragraphs{line(LocalizedText(
          "この版に画像共有を変更する設定があるかは未確認です。設定を探したり変更したりする必要はありません。"))};
      if (setting.hint) {
        paragraphs.push_back(
            line(LocalizedText("参考：確認したソースにある設定例（現在の版での存在は未確認）")) + "\n" +
            line(*setting.hint) + "\n" +
            line(LocalizedText("見つからなければ変更不要です。共有を有効にすると、他の画面収録にも映ります。")));
      }
      return paragraphs;
    }
    case LaunchCaptureSettingKnowledge::Kind::unavailable:
      return {line(LocalizedText("このアプリには確認済みの設定変更手段がありません。画像なしで利用してください。"))};
  }
  return {};
}

}  // namespace

LaunchImageGuidance::LaunchImageGuidance(const LaunchImageStatus& status,
                                         const LaunchCaptureSettingKnowledge& setting) {
  std::vector<std::string> lines{L10n::text(routeLine(status.route))};
  if (!status.screenCaptureAllowed) {
    lines.push_back(L10n::text(LocalizedText("Quillonの画面収録は未許可です。")));
  } else if (status.hostExcludesCapture) {
    lines.push_back(L10n::text(LocalizedText("アプリが画像共有を停止しています。")));
  } else if (status.issue) {
    lines.push_back(L10n::text(LocalizedText("画像を取得できませんでした。原因は未確認です。")));
  }
  summary = joined(lines, "\n");

  std::vector<std::string> paragraphs;
  if (!status.screenCaptureAllowed) {
    paragraphs.push_back(
        L10n::text(LocalizedText("画像を使いたい場合だけ、システム設定 › プライバシーとセキュリティ › "
                                 "画面収録でQuillonを許可してください。アプリ側の共有制限がある場合は、この許可だけでは"
                                 "画像を取得できません。")));
  }
  if (status.hostExcludesCapture) {
    const auto settingText = settingParagraphs(setting);
    paragraphs.insert(paragraphs.end(), settingText.begin(), settingText.end());
  } else if (status.screenCaptureAllowed && status.issue) {
    paragraphs.push_back(
        L10n::text(LocalizedText("拒否や設定不足とは断定できません。画像が必要な場合は、アプリの表示が落ち着いてから再"
                                 "度操作できます。画像なしの切替やメニュー切替を続けるための設定変更は不要です。")));
  }
  details = joined(paragraphs, "\n\n");
}

}  // namespace quillon
