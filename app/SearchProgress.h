#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTextStream>
#include <QTimer>
#include <functional>

namespace norvale::app {

// The one-line "searching" note of --list on a terminal: counts the seconds
// and the devices found, rewritten in place, and erased before the result
// is printed. Does nothing when `interactive` is false (standard error is
// not a terminal). `err` must outlive the progress.
class SearchProgress : public QObject {
    Q_OBJECT
  public:
    SearchProgress(QTextStream& err, bool interactive, std::function<int()> deviceCount);

    // Draws the line and redraws it every second until Erase().
    void Start();
    // Draws the line again now (a device was found or lost).
    void Refresh();
    // Clears the line and leaves the cursor at its start; the line is not
    // drawn again afterwards.
    void Erase();

  private:
    QTextStream& err_;
    bool interactive_;
    bool shown_ = false;
    bool erased_ = false;
    int lastCount_ = -1;
    qint64 lastSeconds_ = -1;
    std::function<int()> deviceCount_;
    QElapsedTimer clock_;
    QTimer tick_;
};

}  // namespace norvale::app
