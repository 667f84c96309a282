#pragma once

#include <QImage>
#include <QString>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "resources/UpdaterControlIds.h"
#include "skin/CLuDialog.h"
#include "updater/UpdateProgressView.h"
#include "updater/UpdateWorker.h"
#include "updater/UpdaterOptions.h"

class CLuButton;
class CLuProgressBar;
class CLuStatic;
class QLabel;
class QMovie;

namespace norvale::updater {

// The updater's progress window: a borderless 600 x 240 skinned panel with
// the title, two lines of text, the "DOWNLOAD" animation, Cancel and the
// minimise and close buttons. When it first shows it asks the running main
// program to close and starts the update worker on a thread of its own; the
// worker's completion arrives as updateDone (queued) and OnUpdateDone tells
// the user. Cancel, the close button, Escape and a close request ask the
// worker to stop and wait for it: before the switch to the new release the
// dialog then ends without a message and the installation is as it was;
// once the worker is past the switch the update is reported as done
// (UpdaterString::kLaunchQuestion).
// Under the two lines a progress line tells how far the download is
// ("12.3 MB of 50.0 MB" over a thin bar), then that the files are being
// installed; a timer on this thread reads the worker's counters ten times a
// second (UpdateProgressView). Enter does nothing. The dialog opens with the
// focus on itself (so Enter stays without effect); Tab visits Cancel,
// minimise and close, and Enter or Space presses the focused one. Use on
// the user-interface thread; the dialog outlives its worker.
class CAutoUpdateDlg : public CLuDialog, public UpdateWorkerHost {
    Q_OBJECT
  public:
    // `versionToken`: the running program's "VER:..." (the update must be newer).
    CAutoUpdateDlg(const QString& link, const QString& installFolder, const QString& versionToken,
                   UpdaterOptions options = {}, QWidget* parent = nullptr);
    ~CAutoUpdateDlg() override;

    CLuButton* Button(int id) const;
    QLabel* Animation() const { return animation_; }
    QMovie* Movie() const { return movie_.get(); }
    // The progress line: its text and its bar (hidden while there is no bar).
    CLuStatic* ProgressText() const { return progressText_; }
    CLuProgressBar* ProgressBar() const { return progressBar_; }
    bool WorkerRunning() const { return worker_.joinable(); }

    QList<QWidget*> FocusOrder() const override;

    // UpdateWorkerHost, called on the worker thread.
    void ShowCopyFailure() override;
    void PostUpdateDone() override;

  public slots:
    // Enter does nothing; Escape and the window's close cancel.
    void accept() override {}
    void reject() override { Cancel(); }
    // Asks the worker to stop, waits for it and ends the dialog: silently,
    // unless the worker had already switched to the new release.
    void Cancel();

  signals:
    void updateDone();

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // A copy-failure box the worker waits for; released when shown and
    // closed, or when the dialog gives up on it (cancel).
    struct PendingBox {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        void Finish();
        void Wait();
    };

    void CreateButtons();
    void CreateProgressLine();
    // Shows what the worker's counters say now.
    void ShowProgress();
    void StartAnimation();
    void StartWorker();
    void StopWorker();
    void OnUpdateDone();
    // Tells the user how the update ended and ends the dialog.
    void Conclude();
    int Ask(int textId, int buttons);

    QString link_;
    QString installFolder_;
    QString versionToken_;
    UpdaterOptions options_;
    QImage background_;
    CLuButton* cancel_ = nullptr;
    CLuButton* minimise_ = nullptr;
    CLuButton* close_ = nullptr;
    QLabel* animation_ = nullptr;
    CLuStatic* progressText_ = nullptr;
    CLuProgressBar* progressBar_ = nullptr;
    QTimer progressTimer_;
    UpdateProgressView progressView_;
    std::unique_ptr<QMovie> movie_;
    std::thread worker_;
    std::mutex boxMutex_;
    std::shared_ptr<PendingBox> pendingBox_;  // guarded by boxMutex_
    bool abandoned_ = false;                  // guarded by boxMutex_
    bool started_ = false;
    bool ended_ = false;
};

}  // namespace norvale::updater
