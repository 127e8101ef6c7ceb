#include "core/overlay/launch_switcher_content_view.h"

#include <algorithm>
#include <cmath>

#include "core/async/clock.h"
#include "core/localization/l10n.h"
#include "core/overlay/launch_card_layout.h"
#include "core/overlay/launch_notch_outline.h"
#include "core/platform/workspace.h"

namespace quillon {

namespace {

const std::string entrancePathKey = "entrance.path";
const std::string entranceOpacityKey = "entrance.opacity";
const std::string entranceBoundsKey = "entrance.bounds";
const std::string entrancePositionKey = "entrance.position";
const std::string selectionKey = "selection";

std::optional<Size> sizeOf(const std::shared_ptr<const Bitmap>& image) {
  if (!image || image->isEmpty()) return std::nullopt;
  return Size{static_cast<double>(image->width), static_cast<double>(image->height)};
}

std::unique_ptr<Layer> textLayer(std::string name, double fontSize, Color color) {
  auto layer = std::make_unique<Layer>(std::move(name));
  layer->textStyle.fontSize = fontSize;
  layer->textStyle.color = color;
  return layer;
}

}  // namespace

LaunchSwitcherContentView::LaunchSwitcherContentView(const Clock& clock, const Workspace& workspace, const Rect& bounds)
    : clock_(clock), workspace_(workspace), scene_(clock), bounds_{0, 0, bounds.width, bounds.height} {
  Layer& root = scene_.root();
  root.setFrame(bounds_);
  silhouetteMask_ = &root.setMask(std::make_unique<Layer>("silhouette"));
  strip_ = &root.addSublayer("strip");
  status_ = &root.addSublayer(textLayer("status", 11, Color::white(0.7)));
  status_->textStyle.alignment = TextAlignment::center;
  guidanceLayer_ = &root.addSublayer(textLayer("guidance", 11, Color::white(0.8)));
  guidanceLayer_->textStyle.wrapped = true;
  outlineLayer_ = &root.addSublayer("outline");
}

void LaunchSwitcherContentView::configure(const LaunchSwitcherConfiguration& configuration) {
  const auto& apps = configuration.apps;
  const auto selected = std::find_if(apps.begin(), apps.end(),
                                     [&](const ManagedNotchApp& app) { return app.id == configuration.selectedID; });
  if (selected == apps.end()) return;
  Transaction transaction(scene_, false);

  guidance_ = configuration.guidance;
  sourceLocalRect_ = configuration.sourceLocalRect;
  scale_ = configuration.backingScale > 0 ? configuration.backingScale : 1;
  finalOutlineBounds_ = configuration.shellBounds.value_or(bounds_);
  revealingLayers_.clear();
  previewLayers_.clear();
  ageLayers_.clear();
  identityLayers_.clear();
  entrance_.reset();
  previewStart_.reset();
  previewEnd_.reset();

  Layer& root = scene_.root();
  root.opacity = 1;
  root.backgroundColor = Color::black();
  root.cornerRadius = 0;
  root.borderWidth = 0;
  silhouetteMask_->setFrame(bounds_);
  LaunchNotchOutline::makePath(finalOutlineBounds_, true, silhouetteMask_->path);
  silhouetteMask_->fillColor = Color::black();
  outlineLayer_->setFrame(bounds_);
  LaunchNotchOutline::makePath(finalOutlineBounds_, false, outlineLayer_->path);
  outlineLayer_->opacity = 1;
  outlineLayer_->strokeColor = Color::white(0.92);
  outlineLayer_->fillColor = Color::clear();
  outlineLayer_->lineWidth = LaunchNotchOutline::lineWidth;
  bodyBounds_ = LaunchNotchOutline::bodyBounds(finalOutlineBounds_);

  const int count = static_cast<int>(apps.size());
  const int selectedIndex = static_cast<int>(selected - apps.begin());
  identifiers_.clear();
  for (const ManagedNotchApp& app : apps) identifiers_.push_back(app.id);
  carousel_ = LaunchCarouselPosition::make(count, selectedIndex);
  pageWidth_ = bounds_.width;

  strip_->removeAllSublayers();
  strip_->removeAllAnimations();
  snapshotLayer_ = nullptr;
  strip_->setFrame(bounds_);
  strip_->position.x = stripPositionX(carousel_->centeredSlot());

  // One icon per app, shared by the three copies of its page.
  const int iconPixels = static_cast<int>(std::lround(LaunchCardLayout::iconSize * scale_));
  std::vector<std::shared_ptr<const Bitmap>> icons;
  std::vector<LaunchCardLayout> layouts;
  for (const ManagedNotchApp& app : apps) {
    auto icon = workspace_.iconForBundle(app.bundleURL.path(), iconPixels);
    icons.push_back(icon ? std::make_shared<const Bitmap>(std::move(*icon)) : nullptr);
    const auto preview = configuration.previews.find(app.id);
    layouts.emplace_back(bodyBounds_, preview == configuration.previews.end() ? std::nullopt : sizeOf(preview->second));
  }

  const Rect stripFrame = strip_->frame();
  for (int page = 0; page < 3 * count; ++page) {
    const auto appIndex = static_cast<std::size_t>(page % count);
    const ManagedNotchApp& app = apps[appIndex];
    const LaunchCardLayout& layout = layouts[appIndex];
    const double offset = pageWidth_ * page;

    auto& title = strip_->addSublayer(textLayer("title", 16, Color::white()));
    title.text = app.displayName;
    title.textStyle.weight = FontWeight::medium;
    title.textStyle.alignment = TextAlignment::center;
    title.textStyle.truncation = TextTruncation::end;
    title.setFrame(layout.titleFrame.offsetBy(offset, 0));

    auto& icon = strip_->addSublayer("icon");
    icon.contents = icons[appIndex];
    icon.contentsScale = scale_;
    icon.contentsGravity = ContentsGravity::resizeAspect;
    icon.setFrame(layout.iconFrame.offsetBy(offset, 0));

    auto& preview = strip_->addSublayer("preview");
    preview.contentsGravity = ContentsGravity::resizeAspect;
    preview.contentsScale = scale_;
    preview.opacity = 0;
    const bool isSnapshotPage = page == carousel_->centeredSlot();
    if (isSnapshotPage) snapshotLayer_ = &preview;
    const auto image = configuration.previews.find(app.id);
    if (image != configuration.previews.end() && image->second && layout.previewFrame) {
      preview.contents = image->second;
      preview.setFrame(layout.previewFrame->offsetBy(offset, 0));
      preview.opacity = 1;
    }
    // A kept image says how old it is, in a small line just below it.
    auto& age = strip_->addSublayer(textLayer("age", 11, Color::white(0.6)));
    age.textStyle.alignment = TextAlignment::center;
    const auto savedAt = configuration.previewSavedAt.find(app.id);
    const bool live = configuration.liveSnapshot && app.id == configuration.selectedID;
    if (preview.opacity > 0 && savedAt != configuration.previewSavedAt.end() && !live) {
      if (const auto text = ageText(clock_.now() - savedAt->second)) {
        age.text = L10n::text(*text);
        age.setFrame({preview.frame().x, preview.frame().minY() - 16, preview.frame().width, 14});
      }
    }
    if (isSnapshotPage && configuration.liveSnapshot) {
      // The image starts exactly over the real notch, in the strip's coordinates.
      previewStart_ = sourceLocalRect_.offsetBy(-stripFrame.x, -stripFrame.y);
      if (layout.previewFrame) previewEnd_ = layout.previewFrame->offsetBy(offset, 0);
    }

    revealingLayers_.insert(revealingLayers_.end(), {&title, &icon, &preview, &age});
    ageLayers_[app.id].push_back(&age);
    identityLayers_[app.id].push_back({&title, &icon, offset});
    previewLayers_[app.id].push_back(&preview);
  }

  const Rect& body = bodyBounds_;
  status_->setFrame({body.minX() + 24, body.minY() + 10, body.width - 48, 18});
  status_->text =
      L10n::text(LocalizedText::format("横スクロールで選択 · {} を離して切替", configuration.shortcutLabel));
  guidanceLayer_->setFrame({body.minX() + 24, body.minY() + 32, body.width - 48, 40});
  const auto text = guidance_.find(configuration.selectedID);
  guidanceLayer_->text = text == guidance_.end() ? std::string() : text->second;
  revealingLayers_.push_back(status_);
  revealingLayers_.push_back(guidanceLayer_);
  for (Layer* layer : revealingLayers_) layer->opacity = 1;
}

void LaunchSwitcherContentView::select(const Uuid& id, int direction) {
  const auto found = std::find(identifiers_.begin(), identifiers_.end(), id);
  if (found == identifiers_.end() || !carousel_) return;
  const auto correction = carousel_->select(static_cast<int>(found - identifiers_.begin()), direction);
  if (!correction) return;

  Transaction transaction(scene_);
  const double now = scene_.currentTime();
  // Continue from wherever the strip is on screen; after a wrap that place is shifted by
  // one copy of the pages, so the slide goes on in the same direction without a jump.
  Point from = strip_->presentationPosition(now);
  from.x += *correction * pageWidth_;
  strip_->position.x = stripPositionX(carousel_->centeredSlot());
  const auto text = guidance_.find(id);
  guidanceLayer_->text = text == guidance_.end() ? std::string() : text->second;
  scene_.addAnimation(*strip_, selectionKey,
                      Animation::basic(LayerProperty::position, from, strip_->position, selectionDuration,
                                       TimingFunction::easeInEaseOut()));
}

bool LaunchSwitcherContentView::updatePreview(const std::shared_ptr<const Bitmap>& image, const Uuid& id) {
  const auto previews = previewLayers_.find(id);
  if (previews == previewLayers_.end()) return false;
  Transaction transaction(scene_, false);
  const LaunchCardLayout layout(bodyBounds_, sizeOf(image));
  for (const IdentityLayers& identity : identityLayers_[id]) {
    identity.title->setFrame(layout.titleFrame.offsetBy(identity.pageOffset, 0));
    identity.icon->setFrame(layout.iconFrame.offsetBy(identity.pageOffset, 0));
  }
  const auto& identities = identityLayers_[id];
  // A new image was just taken: no age to tell.
  for (Layer* age : ageLayers_[id]) age->text.clear();
  for (std::size_t copy = 0; copy < previews->second.size(); ++copy) {
    Layer& preview = *previews->second[copy];
    preview.contents = image;
    if (layout.previewFrame) preview.setFrame(layout.previewFrame->offsetBy(identities[copy].pageOffset, 0));
    preview.opacity = layout.previewFrame ? 1 : 0;
  }
  return true;
}

std::optional<LocalizedText> LaunchSwitcherContentView::ageText(double seconds) {
  constexpr double minute = 60, hour = 3600, day = 86400;
  if (!std::isfinite(seconds) || seconds < ageShownAfter) return std::nullopt;
  const auto whole = [seconds](double unit) { return static_cast<long long>(seconds / unit); };
  if (seconds < hour) return LocalizedText::format("{}分前", whole(minute));
  if (seconds < day) return LocalizedText::format("{}時間前", whole(hour));
  if (seconds < 2 * day) return LocalizedText("昨日");
  return LocalizedText::format("{}日前", whole(day));
}

void LaunchSwitcherContentView::showStatus(const LocalizedText& text) {
  Transaction transaction(scene_, false);
  status_->text = L10n::text(text);
}

void LaunchSwitcherContentView::setAppearance(double time) {
  const LaunchEntranceMotion& motion = *entrance_;
  const Rect outline = motion.outlineFrame(time);
  LaunchNotchOutline::makePath(outline, true, silhouetteMask_->path);
  LaunchNotchOutline::makePath(outline, false, outlineLayer_->path);
  outlineLayer_->opacity = motion.outlineOpacity(time);
  scene_.root().opacity = motion.surfaceOpacity(time);
  const double content = motion.contentOpacity(time);
  for (Layer* layer : revealingLayers_) layer->opacity = content;
}

void LaunchSwitcherContentView::applyAppearanceFrame(double time) {
  if (!entrance_) return;
  Transaction transaction(scene_, false);
  setAppearance(time);
}

void LaunchSwitcherContentView::animateAppearance() {
  entrance_ = LaunchEntranceMotion{sourceLocalRect_, finalOutlineBounds_, bounds_, workspace_.prefersReducedMotion()};
  const LaunchEntranceMotion& motion = *entrance_;
  const double duration = motion.duration();
  const auto times = motion.sampleTimes();
  std::vector<double> keyTimes;
  std::vector<AnimationValue> silhouettes, borders, outlineOpacities, surfaceOpacities, contentOpacities;
  std::vector<AnimationValue> previewBounds, previewPositions;
  for (double time : times) {
    keyTimes.push_back(time / duration);
    const Rect outline = motion.outlineFrame(time);
    silhouettes.emplace_back(LaunchNotchOutline::silhouette(outline));
    borders.emplace_back(LaunchNotchOutline::border(outline));
    outlineOpacities.emplace_back(motion.outlineOpacity(time));
    surfaceOpacities.emplace_back(motion.surfaceOpacity(time));
    contentOpacities.emplace_back(motion.contentOpacity(time));
    if (previewStart_ && previewEnd_) {
      const Rect frame = motion.previewFrame(*previewStart_, *previewEnd_, time);
      previewBounds.emplace_back(Rect{0, 0, frame.width, frame.height});
      previewPositions.emplace_back(Point{frame.midX(), frame.midY()});
    }
  }
  using Property = LayerProperty;
  auto animation = [&](Property property, std::vector<AnimationValue> values) {
    return Animation::keyframes(property, std::move(values), keyTimes, duration);
  };

  Transaction transaction(scene_);
  scene_.addAnimation(*silhouetteMask_, entrancePathKey, animation(Property::path, std::move(silhouettes)));
  scene_.addAnimation(*outlineLayer_, entrancePathKey, animation(Property::path, std::move(borders)));
  scene_.addAnimation(*outlineLayer_, entranceOpacityKey, animation(Property::opacity, std::move(outlineOpacities)));
  scene_.addAnimation(scene_.root(), entranceOpacityKey, animation(Property::opacity, std::move(surfaceOpacities)));
  const Animation content = animation(Property::opacity, std::move(contentOpacities));
  for (Layer* layer : revealingLayers_) scene_.addAnimation(*layer, entranceOpacityKey, content);
  if (snapshotLayer_ && previewEnd_ && !previewBounds.empty()) {
    scene_.addAnimation(*snapshotLayer_, entranceBoundsKey, animation(Property::bounds, std::move(previewBounds)));
    scene_.addAnimation(*snapshotLayer_, entrancePositionKey,
                        animation(Property::position, std::move(previewPositions)));
    snapshotLayer_->setFrame(*previewEnd_);
  }
  // The layers keep the values the motion ends with, once its animations are gone.
  setAppearance(duration);
}

std::vector<const Layer*> LaunchSwitcherContentView::previewLayers(const Uuid& id) const {
  const auto found = previewLayers_.find(id);
  if (found == previewLayers_.end()) return {};
  return {found->second.begin(), found->second.end()};
}

std::vector<const Layer*> LaunchSwitcherContentView::ageLayers(const Uuid& id) const {
  const auto found = ageLayers_.find(id);
  if (found == ageLayers_.end()) return {};
  return {found->second.begin(), found->second.end()};
}

void LaunchSwitcherContentView::clear() {
  Transaction transaction(scene_, false);
  scene_.root().removeAllAnimations();
  silhouetteMask_->removeAllAnimations();
  outlineLayer_->removeAllAnimations();
  for (Layer* layer : revealingLayers_) layer->removeAllAnimations();
  strip_->removeAllAnimations();
  snapshotLayer_ = nullptr;
  strip_->removeAllSublayers();
  revealingLayers_.clear();
  identifiers_.clear();
  guidance_.clear();
  previewLayers_.clear();
  ageLayers_.clear();
  identityLayers_.clear();
  bodyBounds_ = {};
  guidanceLayer_->text.clear();
  carousel_.reset();
  entrance_.reset();
  previewStart_.reset();
  previewEnd_.reset();
}

}  // namespace quillon
