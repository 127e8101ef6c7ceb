#include "desktop/qt_settings_window.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/localization/l10n.h"
#include "core/platform/login_item.h"
#include "desktop/qt_window_style.h"

namespace quillon {

namespace {

namespace style = QtWindowStyle;

struct ModifierKey {
  EventFlags flag;
  const char* symbol;
  const char* name;
};

// The order of the chord's display string: ⌃ ⌥ ⇧ ⌘.
constexpr ModifierKey kModifierKeys[] = {
    {LaunchModifierShortcut::controlFlag, "⌃", "Control"},
    {LaunchModifierShortcut::optionFlag, "⌥", "Option"},
    {LaunchModifierShortcut::shiftFlag, "⇧", "Shift"},
    {LaunchModifierShortcut::commandFlag, "⌘", "Command"},
};

void showText(QLabel* label, const std::optional<std::string>& text) {
  label->setText(text ? QString::fromStdString(*text) : QString());
}

}  // namespace

QtSettingsWindow::QtSettingsWindow(LaunchSettingsViewModel& model, LoginItem* loginItem)
    : model_(model), loginItem_(loginItem) {
  setWindowTitle(style::text(LocalizedText("Quillon 設定")));
  setMinimumSize(480, 490);
  resize(520, 640);

  // The content scrolls rather than clips when both warning boxes are shown in a small window.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  outer->addWidget(scroll);
  auto* content = new QWidget(scroll);
  content_ = content;
  scroll->setWidget(content);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(14);

  column->addWidget(style::heading(style::text(LocalizedText("呼び出し方とプレビュー画像")), 4));

  auto* keys = style::section();
  auto* keysLayout = static_cast<QVBoxLayout*>(keys->layout());
  keysLayout->addWidget(style::heading(style::text(LocalizedText("呼び出すキー")), 0));
  auto* keyRow = new QHBoxLayout();
  keyRow->setSpacing(6);
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i) {
    const auto& key = kModifierKeys[i];
    auto* button = new QToolButton(keys);
    // A platform that names the key in words shows the word once, not a symbol over it.
    const std::string symbol = L10n::text(LocalizedText(key.symbol));
    const std::string name = L10n::text(LocalizedText(key.name));
    button->setText(QString::fromStdString(symbol == name ? name : std::string(symbol).append("\n").append(name)));
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setMinimumSize(64, 48);
    button->setAccessibleName(QString::fromStdString(name));
    connect(button, &QToolButton::clicked, this,
            [this, flag = key.flag] { model_.send(LaunchSettingsViewEvent::toggleModifier(flag)); });
    modifierButtons_[i] = button;
    keyRow->addWidget(button);
  }
  keyRow->addSpacing(6);
  optionShift_ = style::button(style::text(LocalizedText("⌥⇧ を使う")), keys);
  connect(optionShift_, &QPushButton::clicked, this,
          [this] { model_.send(LaunchSettingsViewEvent::useShortcut(LaunchModifierShortcut::optionShift())); });
  keyRow->addWidget(optionShift_);
  keyRow->addStretch();
  keysLayout->addLayout(keyRow);
  keysLayout->addWidget(style::body(
      style::text(LocalizedText(
          "展開中のノッチにカーソルを置き、選んだキーを押したまま横スクロール。キーを離すと切り替わります。")),
      false));
  keysLayout->addWidget(style::body(
      style::text(LocalizedText(
          "修飾キーの組合せに対応します。文字キーは使いません。他アプリとの競合を完全に検出することはできません。")),
      true));
  // For mice with only a vertical wheel, the common case on Linux desktops.
  verticalScroll_ = new QCheckBox(style::text(LocalizedText("縦スクロールでも切り替える")), keys);
  connect(verticalScroll_, &QCheckBox::toggled, this,
          [this](bool on) { model_.send(LaunchSettingsViewEvent::switchWithVerticalScroll(on)); });
  keysLayout->addWidget(verticalScroll_);
  column->addWidget(keys);

  auto* images = style::section();
  auto* imagesLayout = static_cast<QVBoxLayout*>(images->layout());
  savePreviews_ = new QCheckBox(style::text(LocalizedText("前回の画像を再起動後も記憶する")), images);
  connect(savePreviews_, &QCheckBox::toggled, this,
          [this](bool on) { model_.send(LaunchSettingsViewEvent::savePreviews(on)); });
  imagesLayout->addWidget(savePreviews_);
  imagesLayout->addWidget(
      style::body(style::text(LocalizedText("各アプリの最後に開いた画像を、このMac内だけに保存します。最大16件・長辺1,"
                                            "200px・合計24MB。画像には通知などの内容が含まれる場合があります。")),
                  true));
  imagesLayout->addWidget(
      style::body(style::text(LocalizedText("OFFにすると保存画像を削除します。利用中の一時画像は残ります。撮影拒否が確"
                                            "認されたアプリや、画面収録の許可を外した場合の画像は表示しません。")),
                  true));
  clearPreviews_ = style::button(style::text(LocalizedText("保存画像を削除")), images);
  connect(clearPreviews_, &QPushButton::clicked, this,
          [this] { model_.send(LaunchSettingsViewEvent::clearPreviews()); });
  auto* clearRow = new QHBoxLayout();
  clearRow->addWidget(clearPreviews_);
  clearRow->addStretch();
  imagesLayout->addLayout(clearRow);
  column->addWidget(images);

  if (loginItem_ != nullptr) {
    auto* login = style::section();
    auto* loginLayout = static_cast<QVBoxLayout*>(login->layout());
    loginItemToggle_ = new QCheckBox(style::text(LocalizedText("ログイン時にQuillonを開く")), login);
    loginItemToggle_->setChecked(loginItem_->isEnabled());
    loginItemError_ = style::body(style::text(LocalizedText("ログイン時の起動を変更できませんでした。")), false, login);
    loginItemError_->hide();
    connect(loginItemToggle_, &QCheckBox::toggled, this, [this](bool on) {
      const bool changed = loginItem_->setEnabled(on);
      loginItemError_->setVisible(!changed);
      const QSignalBlocker blocker(loginItemToggle_);
      loginItemToggle_->setChecked(loginItem_->isEnabled());
    });
    loginLayout->addWidget(loginItemToggle_);
    loginLayout->addWidget(loginItemError_);
    column->addWidget(login);
  }

  auto* feedback = new QWidget(content);
  feedback->setObjectName(QStringLiteral("settings-feedback"));
  auto* feedbackLayout = new QVBoxLayout(feedback);
  feedbackLayout->setContentsMargins(0, 0, 0, 0);
  feedbackLayout->setSpacing(10);

  storageBox_ = style::warningBox(style::text(LocalizedText("設定データを確認してください")), feedback);
  storageError_ = style::body({}, false, storageBox_);
  storageBox_->layout()->addWidget(storageError_);
  auto* storageButtons = new QHBoxLayout();
  retryStorage_ = style::button(style::text(LocalizedText("保存先を再確認")), storageBox_);
  resetStorage_ = style::button(style::text(LocalizedText("設定データの復旧について…")), storageBox_);
  connect(retryStorage_, &QPushButton::clicked, this, [this] { model_.send(LaunchSettingsViewEvent::retryStorage()); });
  connect(resetStorage_, &QPushButton::clicked, this, [this] { model_.send(LaunchSettingsViewEvent::resetStorage()); });
  storageButtons->addWidget(retryStorage_);
  storageButtons->addWidget(resetStorage_);
  storageButtons->addStretch();
  static_cast<QVBoxLayout*>(storageBox_->layout())->addLayout(storageButtons);
  feedbackLayout->addWidget(storageBox_);

  imageBox_ = style::warningBox(style::text(LocalizedText("画像の保存・削除を確認してください")), feedback);
  imageError_ = style::body({}, false, imageBox_);
  imageBox_->layout()->addWidget(imageError_);
  imageBox_->layout()->addWidget(
      style::body(style::text(LocalizedText("画像が保存できなくても切替は使えます。空き容量・保存先のアクセス権を確認し"
                                            "てください。削除の失敗は下の「保存画像を削除」から再試行できます。")),
                  false, imageBox_));
  feedbackLayout->addWidget(imageBox_);

  messageRow_ = new QWidget(feedback);
  auto* messageLayout = new QHBoxLayout(messageRow_);
  messageLayout->setContentsMargins(2, 0, 2, 0);
  messageIcon_ = new QLabel(messageRow_);
  messageIcon_->setAlignment(Qt::AlignTop);
  message_ = style::body({}, false, messageRow_);
  message_->setObjectName(QStringLiteral("settings.message"));
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  messageLayout->addWidget(messageIcon_);
  messageLayout->addWidget(message_, 1);
  feedbackLayout->addWidget(messageRow_);
  column->addWidget(feedback);
  column->addStretch();

  subscription_ = model_.observe([this](const LaunchSettingsViewState& state) { render(state); });
  render(model_.viewState());
}

QtSettingsWindow::~QtSettingsWindow() = default;

void QtSettingsWindow::present() {
  model_.refreshErrors();
  fitToContent();
  QtWindowStyle::bringToFront(*this);
}

void QtSettingsWindow::fitToContent() {
  const QScreen* screen = this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
  const int available = screen != nullptr ? screen->availableGeometry().height() - 80 : height();
  const int wanted = content_->sizeHint().height();
  if (wanted > height()) resize(width(), std::max(minimumHeight(), std::min(wanted, available)));
}

QAbstractButton* QtSettingsWindow::modifierButton(EventFlags flag) const {
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i) {
    if (kModifierKeys[i].flag == flag) return modifierButtons_[i];
  }
  return nullptr;
}

void QtSettingsWindow::render(const LaunchSettingsViewState& state) {
  const auto chord = state.preferences.shortcut.rawValue();
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i) {
    // A click toggles the button before the model answers; the model's state wins.
    modifierButtons_[i]->setChecked((chord & kModifierKeys[i].flag) != 0);
  }
  {
    const QSignalBlocker blocker(savePreviews_);
    savePreviews_->setChecked(state.preferences.savePreviews);
  }
  {
    const QSignalBlocker blocker(verticalScroll_);
    verticalScroll_->setChecked(state.preferences.switchWithVerticalScroll);
  }
  storageBox_->setVisible(state.storageError.has_value());
  showText(storageError_, state.storageError);
  imageBox_->setVisible(state.imageStorageError.has_value());
  showText(imageError_, state.imageStorageError);
  messageRow_->setVisible(state.message.has_value());
  showText(message_, state.message);
  const auto icon = state.isError ? QStyle::SP_MessageBoxWarning : QStyle::SP_DialogApplyButton;
  messageIcon_->setPixmap(style()->standardIcon(icon).pixmap(18, 18));
}

}  // namespace quillon
