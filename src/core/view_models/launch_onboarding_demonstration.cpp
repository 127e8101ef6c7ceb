#include "core/view_models/launch_onboarding_demonstration.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/localization/l10n.h"

namespace quillon {

namespace {

constexpr double kCardWidth = 112;
constexpr double kCardHeight = 64;
constexpr double kCardGap = 14;
constexpr Color kAccent{0.27, 0.56, 1.0, 1};

std::unique_ptr<Layer> box(std::string name, Rect frame, Color color, double radius) {
  auto layer = std::make_unique<Layer>(std::move(name));
  layer->position = {frame.x + frame.width / 2, frame.y + frame.height / 2};
  layer->size = {frame.width, frame.height};
  layer->backgroundColor = color;
  layer->cornerRadius = radius;
  return layer;
}

std::unique_ptr<Layer> label(std::string name, Rect frame, std::string text, double size, Color color) {
  auto layer = box(std::move(name), frame, Color::clear(), 0);
  layer->text = std::move(text);
  layer->textStyle.fontSize = size;
  layer->textStyle.color = color;
  layer->textStyle.weight = FontWeight::semibold;
  layer->textStyle.alignment = TextAlignment::center;
  layer->textStyle.truncation = TextTruncation::end;
  return layer;
}

// Key times over one cycle: 0 pointer enters, 0.15 key down, 0.3/0.5 steps, 0.72 key up.
Animation loop(LayerProperty property, std::vector<AnimationValue> values, std::vector<double> keyTimes) {
  auto animation = Animation::keyframes(property, std::move(values), std::move(keyTimes),
                                        LaunchOnboardingDemonstration::cycleSeconds);
  animation.beginTime = 0;
  return animation;
}

}  // namespace

LaunchOnboardingDemonstration::LaunchOnboardingDemonstration() { update({}, "⌘"); }

double LaunchOnboardingDemonstration::sceneTime(double elapsed) {
  const double t = std::fmod(std::max(elapsed, 0.0), cycleSeconds);
  return std::min(t, cycleSeconds - 1e-6);
}

void LaunchOnboardingDemonstration::update(const std::vector<std::string>& names, const std::string& shortcutLabel) {
  if (names == names_ && shortcutLabel == shortcutLabel_ && !scene_.root().sublayers().empty()) return;
  names_ = names;
  shortcutLabel_ = shortcutLabel;
  std::vector<std::string> cards = names;
  if (cards.size() < 3) {
    const char* samples[] = {"Notch A", "Notch B", "Notch C"};
    for (std::size_t i = cards.size(); i < 3; ++i) cards.emplace_back(samples[i]);
  }
  cards.resize(std::min<std::size_t>(cards.size(), 5));

  Transaction transaction(scene_);
  auto& root = scene_.root();
  root.removeAllSublayers();
  root.position = {sceneSize.width / 2, sceneSize.height / 2};
  root.size = sceneSize;
  // Layers are y-up: the display's top edge, where the notch sits, is at the top.
  const double w = sceneSize.width;
  const double h = sceneSize.height;
  root.addSublayer(box("display", {0, 0, w, h}, {0.13, 0.15, 0.19, 1}, 14));
  root.addSublayer(box("menu-bar", {0, h - 22, w, 22}, {0.2, 0.22, 0.27, 1}, 0));

  // The expanded notch with the carousel inside it.
  const double panelWidth = kCardWidth * 2 + kCardGap * 3;
  const Rect panel{(w - panelWidth) / 2, h - 22 - 96, panelWidth, 108};
  auto& notch = root.addSublayer(box("notch", panel, Color::black(), 18));
  // Cards that slid out of the panel are out of the carousel too.
  notch.setMask(box("notch-mask", {0, 0, panel.width, panel.height}, Color::black(), 0));
  auto& strip = notch.addSublayer("strip");
  strip.size = {panel.width, panel.height};
  const Point rest{panel.width / 2, panel.height / 2};
  strip.position = rest;
  const double step = kCardWidth + kCardGap;
  for (std::size_t i = 0; i < cards.size(); ++i) {
    const double x = kCardGap + static_cast<double>(i) * step;
    auto& card = strip.addSublayer(box("card", {x, 26, kCardWidth, kCardHeight}, {0.22, 0.24, 0.3, 1}, 10));
    card.addSublayer(
        label("card-name", {6, kCardHeight / 2 - 9, kCardWidth - 12, 18}, cards[i], 12, Color::white(0.92)));
  }
  // The selection ring stays in the middle; the cards slide under it one step per scroll.
  auto& ring =
      notch.addSublayer(box("selection", {kCardGap - 4, 22, kCardWidth + 8, kCardHeight + 8}, Color::clear(), 13));
  ring.borderColor = kAccent;
  ring.borderWidth = 2.5;
  scene_.addAnimation(ring, "ring",
                      loop(LayerProperty::opacity, {0.0, 0.0, 1.0, 1.0, 0.0, 0.0}, {0, 0.14, 0.18, 0.72, 0.76, 1}));
  const Point one{rest.x - step, rest.y};
  scene_.addAnimation(strip, "scroll",
                      loop(LayerProperty::position, {rest, rest, one, one, rest, rest}, {0, 0.3, 0.38, 0.8, 0.9, 1}));

  // The pointer moves onto the notch and stays while the chord is held.
  const Point away{w * 0.78, h * 0.28};
  const Point over{w / 2 + 40, panel.y + 40};
  auto& pointer = root.addSublayer(box("pointer", {away.x - 7, away.y - 7, 14, 14}, Color::white(), 7));
  pointer.borderColor = Color::black(0.6);
  pointer.borderWidth = 1.5;
  scene_.addAnimation(pointer, "move", loop(LayerProperty::position, {away, over, over, away}, {0, 0.12, 0.85, 1}));

  // The chord's key cap, lit while held, with the scroll cue beside it.
  const Rect keyFrame{w / 2 - 60, 18, 52, 40};
  auto& key = root.addSublayer(box("key", keyFrame, {0.3, 0.32, 0.38, 1}, 8));
  key.addSublayer(label("key-label", {0, 9, keyFrame.width, 22}, shortcutLabel, 16, Color::white()));
  auto& lit = root.addSublayer(box("key-down", keyFrame, kAccent, 8));
  lit.addSublayer(label("key-label", {0, 9, keyFrame.width, 22}, shortcutLabel, 16, Color::white()));
  scene_.addAnimation(lit, "hold",
                      loop(LayerProperty::opacity, {0.0, 0.0, 1.0, 1.0, 0.0, 0.0}, {0, 0.14, 0.16, 0.72, 0.74, 1}));
  lit.opacity = 0;
  auto& cue = root.addSublayer(label("scroll-cue", {w / 2 + 2, 26, 80, 24}, "⇠ ⇢", 18, Color::white(0.9)));
  scene_.addAnimation(cue, "cue",
                      loop(LayerProperty::opacity, {0.2, 0.2, 1.0, 1.0, 0.2, 0.2}, {0, 0.26, 0.3, 0.4, 0.46, 1}));
}

}  // namespace quillon
