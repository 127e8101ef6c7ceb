#include "desktop/qt_onboarding_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "core/localization/l10n.h"
#include "desktop/qt_window_style.h"

namespace quillon {

namespace {

namespace style = QtWindowStyle;

int indexOf(LaunchOnboardingStep step) { return static_cast<int>(step); }

std::vector<Url> localFileUrls(const QMimeData* data) {
  std::vector<Url> urls;
  if (data == nullptr) return urls;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) {
      const QString path = url.toLocalFile();
      urls.push_back(Url::fileUrl(path.toStdString(), QFileInfo(path).isDir()));
    } else if (auto parsed = Url::parse(url.toString().toStdString())) {
      // Kept, so that the validator can say why a remote location is refused.
      urls.push_back(*parsed);
    }
  }
  return urls;
}

}  // namespace

QtOnboardingDemonstrationView::QtOnboardingDemonstrationView(QWidget* parent) : QWidget(parent) {
  const auto size = LaunchOnboardingDemonstration::sceneSize;
  setFixedSize(static_cast<int>(size.width), static_cast<int>(size.height));
  timer_.setInterval(33);
  connect(&timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
  clock_.start();
}

void QtOnboardingDemonstrationView::update(const LaunchOnboardingViewState& state) {
  std::vector<std::string> names;
  for (const auto& app : state.apps) {
    if (app.enabled) names.push_back(app.displayName);
  }
  demonstration_.update(names, state.shortcutLabel);
  renderer_.clearCaches();
  if (state.isPaused != paused_) {
    if (state.isPaused) shownAt_ += static_cast<double>(clock_.restart()) / 1000.0;
    else clock_.restart();
    paused_ = state.isPaused;
  }
  syncTimer();
  QWidget::update();
}

void QtOnboardingDemonstrationView::freezeAt(double elapsed) {
  frozen_ = true;
  shownAt_ = elapsed;
  syncTimer();
  repaint();
}

void QtOnboardingDemonstrationView::syncTimer() {
  // Nothing moves while paused, frozen or hidden, so nothing is drawn.
  const bool run = isVisible() && !paused_ && !frozen_;
  if (run && !timer_.isActive()) {
    clock_.restart();
    timer_.start();
  } else if (!run && timer_.isActive()) {
    shownAt_ += static_cast<double>(clock_.elapsed()) / 1000.0;
    timer_.stop();
  }
}

void QtOnboardingDemonstrationView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  syncTimer();
}

void QtOnboardingDemonstrationView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  syncTimer();
}

void QtOnboardingDemonstrationView::paintEvent(QPaintEvent*) {
  double elapsed = shownAt_;
  if (timer_.isActive()) elapsed += static_cast<double>(clock_.elapsed()) / 1000.0;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const auto size = LaunchOnboardingDemonstration::sceneSize;
  renderer_.paint(painter, demonstration_.scene(), LaunchOnboardingDemonstration::sceneTime(elapsed),
                  QSizeF(size.width, size.height));
}

QtOnboardingWindow::QtOnboardingWindow(LaunchOnboardingViewModel& model) : model_(model) {
  setWindowTitle(style::text(LocalizedText("Quillon — はじめに")));
  setMinimumSize(860, 650);
  resize(1000, 700);
  setAcceptDrops(true);

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  auto* sidebar = new QFrame(this);
  sidebar->setObjectName(QStringLiteral("sidebar"));
  sidebar->setFixedWidth(210);
  sidebar->setStyleSheet(
      QStringLiteral("QFrame#sidebar { background: palette(alternate-base); "
                     "border-right: 1px solid palette(mid); }"));
  auto* sideLayout = new QVBoxLayout(sidebar);
  sideLayout->setContentsMargins(20, 28, 16, 20);
  sideLayout->setSpacing(12);
  sideLayout->addWidget(style::heading(QStringLiteral("Quillon"), 3, sidebar));
  sideLayout->addSpacing(8);
  const QString stepNames[] = {style::text(LocalizedText("概要")), style::text(LocalizedText("アクセシビリティ")),
                               style::text(LocalizedText("画面収録")), style::text(LocalizedText("準備完了"))};
  for (int i = 0; i < 4; ++i) {
    stepLabels_[static_cast<std::size_t>(i)] =
        new QLabel(QString::number(i + 1) + QStringLiteral("  ") + stepNames[i], sidebar);
    sideLayout->addWidget(stepLabels_[static_cast<std::size_t>(i)]);
  }
  sideLayout->addStretch();
  outer->addWidget(sidebar);

  auto* main = new QWidget(this);
  auto* column = new QVBoxLayout(main);
  column->setContentsMargins(36, 28, 36, 20);
  column->setSpacing(14);
  heading_ = style::heading({}, 9, main);
  column->addWidget(heading_);
  pages_ = new QStackedWidget(main);
  pages_->addWidget(overviewPage());
  pages_->addWidget(permissionPage(true));
  pages_->addWidget(permissionPage(false));
  pages_->addWidget(readyPage());
  column->addWidget(pages_, 1);

  registrationBox_ = style::warningBox(style::text(LocalizedText("アプリの登録情報を確認してください")), main);
  registrationError_ = style::body({}, false, registrationBox_);
  registrationBox_->layout()->addWidget(registrationError_);
  auto* registrationButtons = new QHBoxLayout();
  auto* refresh = style::button(style::text(LocalizedText("登録データを再確認")), registrationBox_);
  auto* resetRegistrations = style::button(style::text(LocalizedText("登録データの復旧について…")), registrationBox_);
  connect(refresh, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::refreshRegistrations()); });
  connect(resetRegistrations, &QPushButton::clicked, this,
          [this] { send(LaunchOnboardingViewEvent::resetRegistrations()); });
  registrationButtons->addWidget(refresh);
  registrationButtons->addWidget(resetRegistrations);
  registrationButtons->addStretch();
  static_cast<QVBoxLayout*>(registrationBox_->layout())->addLayout(registrationButtons);
  column->addWidget(registrationBox_);

  progressBox_ = style::warningBox(style::text(LocalizedText("案内の進み具合を確認してください")), main);
  progressError_ = style::body({}, false, progressBox_);
  progressBox_->layout()->addWidget(progressError_);
  auto* progressButtons = new QHBoxLayout();
  auto* retry = style::button(style::text(LocalizedText("案内の保存先を再確認")), progressBox_);
  auto* resetProgress = style::button(style::text(LocalizedText("案内データの復旧について…")), progressBox_);
  connect(retry, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::retryProgress()); });
  connect(resetProgress, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::resetProgress()); });
  progressButtons->addWidget(retry);
  progressButtons->addWidget(resetProgress);
  progressButtons->addStretch();
  static_cast<QVBoxLayout*>(progressBox_->layout())->addLayout(progressButtons);
  column->addWidget(progressBox_);

  message_ = style::body({}, false, main);
  message_->setObjectName(QStringLiteral("onboarding.message"));
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(message_);

  auto* bar = new QHBoxLayout();
  later_ = style::button(style::text(LocalizedText("あとで")), main);
  back_ = style::button(style::text(LocalizedText("戻る")), main);
  next_ = style::button(style::text(LocalizedText("次へ")), main);
  finish_ = style::button(style::text(LocalizedText("はじめる")), main);
  next_->setDefault(true);
  finish_->setDefault(true);
  for (auto* b : {back_, next_, finish_}) b->setMinimumWidth(96);
  connect(later_, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::doLater()); });
  connect(back_, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::back()); });
  connect(next_, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::next()); });
  connect(finish_, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::finish()); });
  bar->addWidget(later_);
  bar->addStretch();
  bar->addWidget(back_);
  bar->addWidget(next_);
  bar->addWidget(finish_);
  column->addLayout(bar);
  outer->addWidget(main, 1);

  subscription_ = model_.observe([this](const LaunchOnboardingViewState& state) { render(state); });
  render(model_.viewState());
}

QtOnboardingWindow::~QtOnboardingWindow() = default;

// A default button acts on Return only inside a dialog; the guide is a window of its
// own, so it forwards Return and Enter to its shown default button itself.
void QtOnboardingWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    for (QPushButton* button : {next_, finish_}) {
      if (button->isVisible() && button->isEnabled()) {
        button->click();
        return;
      }
    }
  }
  QWidget::keyPressEvent(event);
}

QWidget* QtOnboardingWindow::overviewPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addWidget(
      style::body(style::text(LocalizedText("ノッチアプリをいくつ登録しても、使うときに選ぶだけ。展開したノッチの上でキ"
                                            "ーを押したまま横にスクロールすると、登録したアプリに切り替わります。")),
                  false, page));

  auto* row = new QHBoxLayout();
  row->setSpacing(16);
  auto* demoColumn = new QVBoxLayout();
  demonstration_ = new QtOnboardingDemonstrationView(page);
  demoColumn->addWidget(demonstration_);
  playback_ = style::button({}, page);
  playback_->setMinimumWidth(110);
  connect(playback_, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::togglePlayback()); });
  auto* playbackRow = new QHBoxLayout();
  playbackRow->addWidget(playback_);
  playbackRow->addStretch();
  demoColumn->addLayout(playbackRow);
  demoColumn->addStretch();
  row->addLayout(demoColumn);

  dropZone_ = new QFrame(page);
  dropZone_->setObjectName(QStringLiteral("dropzone"));
  auto* dropLayout = new QVBoxLayout(dropZone_);
  dropLayout->setContentsMargins(16, 14, 16, 14);
  dropLayout->addWidget(style::heading(style::text(LocalizedText("ノッチアプリを登録")), 1, dropZone_));
  dropLayout->addWidget(style::body(
      style::text(LocalizedText(".appをここにドロップするか、ボタンから選んでください。")), true, dropZone_));
  choose_ = style::button(style::text(LocalizedText("アプリを選ぶ…")), dropZone_);
  connect(choose_, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::chooseApplications()); });
  dropLayout->addWidget(choose_);
  registrations_ = new QListWidget(dropZone_);
  registrations_->setMinimumHeight(96);
  registrations_->setSelectionMode(QAbstractItemView::NoSelection);
  dropLayout->addWidget(registrations_, 1);
  row->addWidget(dropZone_, 1);
  layout->addLayout(row, 1);
  return page;
}

QWidget* QtOnboardingWindow::permissionPage(bool accessibility) {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  if (accessibility) {
    gestureText_ = style::body({}, false, page);
    layout->addWidget(gestureText_);
  } else {
    layout->addWidget(style::body(
        style::text(LocalizedText("画面収録を許可すると、切替の枠に各アプリのノッチの画像が表示されます。許可しなくても"
                                  "、アイコンと名前で切り替えられます。画像はこのMac内だけに保存します。")),
        false, page));
  }
  auto* box = style::section(page);
  auto* boxLayout = static_cast<QVBoxLayout*>(box->layout());
  const std::size_t index = accessibility ? 0 : 1;
  permissionStatus_[index] = style::heading({}, 1, box);
  boxLayout->addWidget(permissionStatus_[index]);
  auto* buttons = new QHBoxLayout();
  requestButtons_[index] = style::button(style::text(LocalizedText("許可を求める…")), box);
  auto* open = style::button(style::text(LocalizedText("システム設定を開く")), box);
  openSettingsButtons_[index] = open;
  auto* refresh = style::button(style::text(LocalizedText("状態を更新")), box);
  connect(requestButtons_[index], &QPushButton::clicked, this, [this, accessibility] {
    send(accessibility ? LaunchOnboardingViewEvent::requestAccessibility()
                       : LaunchOnboardingViewEvent::requestScreenCapture());
  });
  connect(open, &QPushButton::clicked, this, [this, accessibility] {
    send(accessibility ? LaunchOnboardingViewEvent::openAccessibilitySettings()
                       : LaunchOnboardingViewEvent::openScreenCaptureSettings());
  });
  connect(refresh, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::refreshPermissions()); });
  buttons->addWidget(requestButtons_[index]);
  buttons->addWidget(open);
  buttons->addWidget(refresh);
  buttons->addStretch();
  boxLayout->addLayout(buttons);
  layout->addWidget(box);
  layout->addWidget(style::body(
      style::text(LocalizedText("許可しなくても、メニューバーのQuillonからアプリを切り替えられます。")), true, page));
  layout->addStretch();
  return page;
}

QWidget* QtOnboardingWindow::readyPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  auto* box = style::section(page);
  summary_ = style::body({}, false, box);
  box->layout()->addWidget(summary_);
  layout->addWidget(box);
  auto* settings = style::button(style::text(LocalizedText("設定を開く…")), page);
  connect(settings, &QPushButton::clicked, this, [this] { send(LaunchOnboardingViewEvent::openSettings()); });
  auto* row = new QHBoxLayout();
  row->addWidget(settings);
  row->addStretch();
  layout->addLayout(row);
  layout->addWidget(style::body(
      style::text(LocalizedText(
          "「はじめる」を押すと、この案内は次回から自動では開きません。メニューの「はじめに…」からいつでも開けます。")),
      true, page));
  layout->addStretch();
  return page;
}

void QtOnboardingWindow::present() {
  model_.beginPresentation();
  QtWindowStyle::bringToFront(*this);
}

void QtOnboardingWindow::render(const LaunchOnboardingViewState& state) {
  const int current = indexOf(state.step);
  for (int i = 0; i < 4; ++i) {
    QLabel* label = stepLabels_[static_cast<std::size_t>(i)];
    QFont font = label->font();
    font.setBold(i == current);
    label->setFont(font);
    label->setEnabled(i <= current);
  }
  heading_->setText(QString::fromStdString(LaunchOnboardingViewModel::heading(state.step)));
  pages_->setCurrentIndex(current);

  demonstration_->update(state);
  playback_->setText(state.isPaused ? style::text(LocalizedText("再生")) : style::text(LocalizedText("一時停止")));
  dropZone_->setStyleSheet(
      state.isDropTargeted
          ? QStringLiteral("QFrame#dropzone { border: 2px solid #3d7eff; border-radius: 10px; background: #eaf1ff; }")
          : QStringLiteral("QFrame#dropzone { border: 2px dashed palette(mid); border-radius: 10px; }"));
  choose_->setEnabled(!state.registrationBusy);
  registrations_->clear();
  for (const auto& row : state.registrations) {
    auto* item = new QListWidgetItem(QString::fromStdString(row.name + "  —  " + row.state), registrations_);
    item->setToolTip(QString::fromStdString(row.location));
  }
  if (state.registrations.empty()) {
    auto* item = new QListWidgetItem(style::text(LocalizedText("まだ登録されていません。")), registrations_);
    item->setForeground(palette().color(QPalette::PlaceholderText));
  }

  QString gesture =
      style::text(LocalizedText::format("{}"
                                        "を押したまま横スクロールで選び、キーを離すと切り替わります。キーとスクロールを"
                                        "受け取るには、アクセシビリティの許可が必要です。",
                                        state.shortcutLabel));
  if (state.waylandSession)
    gesture += QStringLiteral("\n") + style::text(LocalizedText("ジェスチャーにはX11セッションが必要です"));
  gestureText_->setText(gesture);
  const QString checking = style::text(LocalizedText("権限を確認しています…"));
  permissionStatus_[0]->setText(
      !state.permissionObserved ? checking
      : state.accessibilityTrusted
          ? style::text(LocalizedText("アクセシビリティ: 許可済み"))
          : style::text(LocalizedText("アクセシビリティ: 未許可または未反映（許可・再起動を確認）")));
  permissionStatus_[1]->setText(!state.permissionObserved ? checking
                                : state.screenCaptureAllowed
                                    ? style::text(LocalizedText("画面収録: 許可済み"))
                                    : style::text(LocalizedText("画面収録（画像用・任意）: 未許可")));
  requestButtons_[0]->setEnabled(!state.accessibilityTrusted);
  requestButtons_[1]->setEnabled(!state.screenCaptureAllowed);
  for (QPushButton* open : openSettingsButtons_) open->setVisible(state.canOpenSettingsPages);
  summary_->setText(style::text(LocalizedText::format(
      "切り替えられるアプリ: {}件\n呼び出すキー: "
      "{}\n\n展開したノッチにカーソルを置き、{}を押したまま横スクロール。メニューバーのQuillonからも切り替えられます。",
      state.launchableCount, state.shortcutLabel, state.shortcutLabel)));

  registrationBox_->setVisible(state.registrationError.has_value());
  registrationError_->setText(QString::fromStdString(state.registrationError.value_or("")));
  progressBox_->setVisible(state.progressError.has_value());
  progressError_->setText(QString::fromStdString(state.progressError.value_or("")));
  message_->setVisible(state.message.has_value());
  message_->setText(QString::fromStdString(state.message.value_or("")));
  QPalette messagePalette = message_->palette();
  messagePalette.setColor(QPalette::WindowText,
                          state.isError ? QColor(0xb0, 0x2a, 0x1e) : palette().color(QPalette::WindowText));
  message_->setPalette(messagePalette);

  back_->setEnabled(state.step != LaunchOnboardingStep::overview);
  next_->setVisible(state.step != LaunchOnboardingStep::ready);
  finish_->setVisible(state.step == LaunchOnboardingStep::ready);
  if (!state.isVisible && isVisible() && !isMinimized()) hide();
}

void QtOnboardingWindow::closeEvent(QCloseEvent* event) {
  model_.windowClosed();
  event->accept();
}

void QtOnboardingWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && model_.hasActivePresentation()) {
    model_.setVisible(!isMinimized());
  }
}

void QtOnboardingWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (localFileUrls(event->mimeData()).empty()) return;
  event->acceptProposedAction();
  send(LaunchOnboardingViewEvent::dropTarget(true));
}

void QtOnboardingWindow::dragLeaveEvent(QDragLeaveEvent* event) {
  QWidget::dragLeaveEvent(event);
  send(LaunchOnboardingViewEvent::dropTarget(false));
}

void QtOnboardingWindow::dropEvent(QDropEvent* event) {
  auto urls = localFileUrls(event->mimeData());
  send(LaunchOnboardingViewEvent::dropTarget(false));
  if (urls.empty()) return;
  event->acceptProposedAction();
  send(LaunchOnboardingViewEvent::registerApplications(std::move(urls)));
}

}  // namespace quillon
