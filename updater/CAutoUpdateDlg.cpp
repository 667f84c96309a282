#include "updater/CAutoUpdateDlg.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QProcess>
#include <cmath>

#include "common/SingleInstance.h"
#include "resources/UpdaterImageIds.h"
#include "resources/UpdaterStringIds.h"
#include "skin/CLuButton.h"
#include "skin/CLuMessageBox.h"
#include "skin/CLuProgressBar.h"
#include "skin/CLuStatic.h"
#include "skin/SkinFonts.h"
#include "skin/SkinImage.h"
#include "updater/UpdateKeys.h"
#include "updater/UpdateProgress.h"
#include "updater/UpdateState.h"
#include "updater/UpdaterLanguage.h"
#include "updater/UpdaterSkin.h"
#include "updater/VersionedInstall.h"

namespace norvale::updater {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr double kTextPoints = 12;
// How long the main program has to close its window when asked.
constexpr int kCloseWaitMs = 2000;
// Presses on the title band move the window.
constexpr int kTitleBandHeight = 34;
// The progress line: under the two lines, left of Cancel, the bar's foot
// level with Cancel's.
constexpr QRect kProgressTextRect(30, 182, 400, 22);
constexpr QRect kProgressBarRect(30, 208, 400, 6);
constexpr int kProgressIntervalMs = 100;  // at most ten updates a second
constexpr int kProgressRange = 1000;      // the bar counts thousandths

void DrawLine(QPainter& painter, const QRect& rect, const QString& text) {
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace

void CAutoUpdateDlg::PendingBox::Finish() {
    std::lock_guard lock(mutex);
    finished = true;
    done.notify_all();
}

void CAutoUpdateDlg::PendingBox::Wait() {
    std::unique_lock lock(mutex);
    done.wait(lock, [this] { return finished; });
}

CAutoUpdateDlg::CAutoUpdateDlg(const QString& link, const QString& installFolder,
                               const QString& versionToken, UpdaterOptions options, QWidget* parent)
    : CLuDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      link_(link),
      installFolder_(installFolder),
      versionToken_(versionToken),
      options_(std::move(options)),
      progressView_(LanguageBase()) {
    setWindowIcon(QIcon(QPixmap::fromImage(LoadPngResource(UpdaterImage::kProgramIcon))));
    setWindowTitle(UpdaterText(UpdaterString::kTitle));
    background_ = LoadPngResource(UpdaterImage::kDialogBackground);
    const QSize size = background_.isNull() ? QSize(600, 240) : background_.size();
    setFixedSize(size);
    CenterPopup(this, nullptr);
    SetDragBand(QRect(0, 0, size.width(), kTitleBandHeight));
    SetBackground(background_, 0, 0, size.width(), size.height(), 0);
    CreateButtons();
    CreateProgressLine();
    animation_ = new QLabel(this);
    animation_->setAttribute(Qt::WA_TranslucentBackground);
    animation_->move(40, 40);
    connect(this, &CAutoUpdateDlg::updateDone, this, &CAutoUpdateDlg::OnUpdateDone,
            Qt::QueuedConnection);
    // The two painted lines, for assistive technology.
    setAccessibleDescription(UpdaterText(UpdaterString::kFirstLine) + QLatin1Char(' ') +
                             UpdaterText(UpdaterString::kSecondLine));
    setFocus(Qt::OtherFocusReason);  // no button: Enter does nothing until Tab
}

QList<QWidget*> CAutoUpdateDlg::FocusOrder() const {
    return {cancel_, minimise_, close_};
}

CAutoUpdateDlg::~CAutoUpdateDlg() {
    StopWorker();
}

void CAutoUpdateDlg::CreateButtons() {
    const QImage cancelStrip = LoadPngResource(UpdaterImage::kDialogButtons);
    cancel_ = new CLuButton(this);
    cancel_->SetControlId(UpdaterControl::kCancel);
    cancel_->setGeometry(452, 178, cancelStrip.width() / 4, cancelStrip.height());
    cancel_->SetImages(cancelStrip, 0, 0, cancelStrip.width(), cancelStrip.height(), 4);
    cancel_->setText(UpdaterText(UpdaterString::kCancel));
    cancel_->SetTextColors(kWhite, kWhite, kWhite, 0xFF808080, false);
    cancel_->SetFontSize(kTextPoints);
    cancel_->SetTextAlign(StringAlign::Center, StringAlign::Center);
    connect(cancel_, &QAbstractButton::clicked, this, &CAutoUpdateDlg::Cancel);

    const QImage minimiseStrip = LoadPngResource(UpdaterImage::kMinimiseButton);
    minimise_ = new CLuButton(this);
    minimise_->SetControlId(UpdaterControl::kMinimise);
    minimise_->setGeometry(500, 7, 40, 20);
    minimise_->SetImages(minimiseStrip, 0, 0, minimiseStrip.width(), minimiseStrip.height(), 4);
    minimise_->setAccessibleName(UpdaterText(UpdaterString::kMinimise));
    connect(minimise_, &QAbstractButton::clicked, this, &QWidget::showMinimized);

    const QImage closeStrip = LoadPngResource(UpdaterImage::kCloseButton);
    close_ = new CLuButton(this);
    close_->SetControlId(UpdaterControl::kClose);
    close_->setGeometry(550, 7, 40, 20);
    close_->SetImages(closeStrip, 0, 0, closeStrip.width(), closeStrip.height(), 4);
    close_->setAccessibleName(UpdaterText(UpdaterString::kClose));
    connect(close_, &QAbstractButton::clicked, this, &CAutoUpdateDlg::Cancel);
}

void CAutoUpdateDlg::CreateProgressLine() {
    progressText_ = new CLuStatic(this);
    // Its text starts where the painted lines start: the label's text keeps
    // a padding at its left end, the painted lines do not.
    const qreal padding = LineMetricsFor(SkinFont(SkinFaceName(), kTextPoints)).padding;
    progressText_->setGeometry(kProgressTextRect.translated(-qRound(padding), 0));
    progressText_->SetFontSize(kTextPoints);
    progressText_->SetTextColor(kWhite);
    progressText_->SetNoWrap(true);
    progressBar_ = new CLuProgressBar(this);
    progressBar_->setGeometry(kProgressBarRect);
    progressBar_->setRange(0, kProgressRange);
    progressBar_->hide();
    progressTimer_.setInterval(kProgressIntervalMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CAutoUpdateDlg::ShowProgress);
}

void CAutoUpdateDlg::ShowProgress() {
    const ProgressDisplay display = progressView_.Next(ProgressSnapshot::Read(Progress()));
    progressText_->SetText(display.text);
    if (display.permille >= 0) {
        progressBar_->setValue(display.permille);
        // Read aloud as the figure, not as a percentage.
        progressBar_->setFormat(display.text);
    }
    progressBar_->setVisible(display.permille >= 0);
}

CLuButton* CAutoUpdateDlg::Button(int id) const {
    switch (id) {
        case UpdaterControl::kCancel:
            return cancel_;
        case UpdaterControl::kMinimise:
            return minimise_;
        case UpdaterControl::kClose:
            return close_;
        default:
            return nullptr;
    }
}

void CAutoUpdateDlg::showEvent(QShowEvent* event) {
    CLuDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // The main program is closed as if its user had closed it; its process
    // is not waited for.
    if (options_.closeMainProgram) {
        options_.closeMainProgram();
    } else {
        common::AskToClose(QString::fromLatin1(common::kMainProgramInstance), kCloseWaitMs);
    }
    ApplyUpdaterMessageBoxSkin();
    StartAnimation();
    StartWorker();
    if (options_.progressOpened) options_.progressOpened(this);
}

void CAutoUpdateDlg::StartAnimation() {
    // Each frame stays for its own delay; a picture of one frame is not shown.
    movie_ = std::make_unique<QMovie>(QStringLiteral(":/gif/DOWNLOAD.gif"));
    if (!movie_->isValid() || movie_->frameCount() < 2) return;
    movie_->jumpToFrame(0);
    animation_->resize(movie_->currentImage().size());
    animation_->setMovie(movie_.get());
    movie_->start();
}

void CAutoUpdateDlg::StartWorker() {
    SetUpdateState(UpdateState::Running);
    UpdateJob job{link_,          installFolder_,
                  versionToken_,  options_.trustedKeys.value_or(TrustedUpdateKeys()),
                  options_.clock, options_.installHook};
    auto body = options_.worker ? options_.worker : RunUpdateWorker;
    worker_ =
        std::thread([job = std::move(job), body = std::move(body), this] { body(job, *this); });
    progressTimer_.start();
}

void CAutoUpdateDlg::StopWorker() {
    if (!worker_.joinable()) return;
    RequestCancel();
    {
        // A copy-failure box still to be shown is given up: the worker must
        // not wait for this thread while this thread waits for it.
        std::lock_guard lock(boxMutex_);
        abandoned_ = true;
        if (pendingBox_) pendingBox_->Finish();
    }
    worker_.join();
}

void CAutoUpdateDlg::Cancel() {
    if (ended_) return;
    StopWorker();
    // Past the switch the new release is in place: that is what to report.
    if (GetUpdateState() == UpdateState::Succeeded) return Conclude();
    ended_ = true;
    progressTimer_.stop();
    if (movie_) movie_->stop();
    QDialog::done(IDCANCEL);
}

void CAutoUpdateDlg::closeEvent(QCloseEvent* event) {
    // A close from the window manager cancels; ending the dialog closes it.
    if (!ended_) {
        event->ignore();
        Cancel();
        return;
    }
    CLuDialog::closeEvent(event);
}

void CAutoUpdateDlg::ShowCopyFailure() {
    auto box = std::make_shared<PendingBox>();
    {
        std::lock_guard lock(boxMutex_);
        if (abandoned_) return;
        pendingBox_ = box;
    }
    QMetaObject::invokeMethod(
        this,
        [this, box] {
            if (!ended_) Ask(UpdaterString::kCopyFailed, BTN_OK);
            box->Finish();
        },
        Qt::QueuedConnection);
    box->Wait();
    std::lock_guard lock(boxMutex_);
    pendingBox_.reset();
}

void CAutoUpdateDlg::PostUpdateDone() {
    emit updateDone();
}

int CAutoUpdateDlg::Ask(int textId, int buttons) {
    const QString text = UpdaterText(textId);
    const QString caption = UpdaterText(UpdaterString::kTitle);
    if (options_.showMessage) return options_.showMessage(text, caption, this, buttons);
    return ShowSkinMessageBox(text, caption, this, buttons);
}

void CAutoUpdateDlg::OnUpdateDone() {
    // After a cancel the dialog has ended: a late completion is not acted on.
    // The worker, done, may still be removing its downloads: it is waited
    // for when the dialog goes, not before the user is told.
    if (ended_) return;
    Conclude();
}

void CAutoUpdateDlg::Conclude() {
    ended_ = true;
    ShowProgress();  // the last word of the counters, for a download that just ended
    progressTimer_.stop();
    if (movie_) movie_->stop();
    hide();
    switch (GetUpdateState()) {
        case UpdateState::Succeeded:
            if (Ask(UpdaterString::kLaunchQuestion, BTN_YES | BTN_NO) == IDYES) {
                // The release just made current.
                const QString program = installFolder_ + QLatin1Char('/') +
                                        VersionedInstall::kCurrentLink + QLatin1Char('/') +
                                        VersionedInstall::kMainProgram;
                if (options_.relaunch) {
                    options_.relaunch(program);
                } else {
                    QProcess::startDetached(program, {});
                }
            }
            break;
        case UpdateState::Failed:
            Ask(UpdaterString::kNetworkError, BTN_OK);
            break;
        case UpdateState::Refused:
            Ask(UpdaterString::kNotVerified, BTN_OK);
            break;
        default:
            break;  // a failed copy was reported by the worker
    }
    QDialog::done(QDialog::Accepted);
}

void CAutoUpdateDlg::paintEvent(QPaintEvent* event) {
    CLuDialog::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(SkinFont(SkinFaceName(), kTextPoints));
    painter.setPen(QColor::fromRgba(kWhite));
    DrawLine(painter, QRect(5, 2, 500, 32), UpdaterText(UpdaterString::kTitle));
    // The two lines take their measured width, within the window.
    const int room = width() - 60;
    const int padding = static_cast<int>(std::ceil(LineMetricsFor(painter.font()).padding));
    for (const auto& [id, y] :
         {std::pair{UpdaterString::kFirstLine, 110}, std::pair{UpdaterString::kSecondLine, 140}}) {
        const QString text = UpdaterText(id);
        // Measured as a text layout measures: with the padding at both ends.
        const int measured = painter.fontMetrics().horizontalAdvance(text) + 2 * padding;
        DrawLine(painter, QRect(30, y, std::min(measured, room), 50), text);
    }
}

}  // namespace norvale::updater
