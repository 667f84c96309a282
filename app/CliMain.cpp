#include "app/CliMain.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>

#include "app/CliFrontEnd.h"
#include "app/DemoNetwork.h"
#include "app/DiscoveryHost.h"
#include "app/SearchProgress.h"
#include "upnp/stack/LocalAddresses.h"

namespace norvale::app {
namespace {

int g_signalPipe[2] = {-1, -1};

// Passes the signal's number on to the event loop.
void OnSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t written = write(g_signalPipe[1], &byte, 1);
}

// Turns SIGINT and SIGTERM into a call of `stop` on the event loop and, when
// `search` is set (--watch), SIGHUP into a call of `search`.
std::unique_ptr<QSocketNotifier> WatchSignals(std::function<void()> stop,
                                              std::function<void()> search) {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (search) sigaction(SIGHUP, &action, nullptr);
    auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [stop, search] {
        char buffer[16];
        bool stopping = false;
        bool searching = false;
        for (ssize_t got; (got = read(g_signalPipe[0], buffer, sizeof buffer)) > 0;) {
            for (ssize_t i = 0; i < got; ++i) {
                (buffer[i] == SIGHUP ? searching : stopping) = true;
            }
        }
        if (stopping) {
            stop();
        } else if (searching) {
            search();
        }
    });
    return notifier;
}

// --set-led: find the device, wait for its first LED answer, then switch
// the LED and report what the device says afterwards.
class SetLedTask {
  public:
    SetLedTask(const CommandLine& line, CliFrontEnd& front, DiscoveryHost& host, QTextStream& out,
               QTextStream& err, std::function<void(int)> finish)
        : line_(line),
          front_(front),
          host_(host),
          out_(out),
          err_(err),
          finish_(std::move(finish)) {
        front_.onTableChanged = [this] { LookForDevice(); };
        front_.onLedAnswer = [this](const QString& n, const QString& a, int code, bool on) {
            OnAnswer(n, a, code, on);
        };
    }

    void TimedOut() {
        if (stage_ == Stage::Done) return;
        const QString device = TerminalText(QString::fromStdString(line_.device));
        err_ << "norvale-discovery: "
             << (stage_ == Stage::Searching
                     ? QStringLiteral("no device named or at %1 was found").arg(device)
                     : QStringLiteral("%1 did not answer").arg(Label()))
             << Qt::endl;
        Finish(1);
    }

  private:
    enum class Stage { Searching, WaitingFirstAnswer, WaitingAnswer, Done };

    // Name and address come from the network: escaped for the terminal.
    QString Label() const {
        return QStringLiteral("%1 (%2)").arg(TerminalText(name_), TerminalText(address_));
    }

    void LookForDevice() {
        if (stage_ != Stage::Searching) return;
        const QString wanted = QString::fromStdString(line_.device);
        DeviceTable& table = front_.Table();
        for (int i = 0; i < table.Count(); ++i) {
            const DeviceRow& row = table.Row(i);
            if (row.device == nullptr || (row.name != wanted && row.address != wanted)) continue;
            name_ = row.name;
            address_ = row.address;
            if (!row.facts.identifyLed) {
                err_ << "norvale-discovery: " << Label() << " has no identify LED" << Qt::endl;
                Finish(1);
                return;
            }
            stage_ = Stage::WaitingFirstAnswer;  // the host asks for the LED state of every new row
            return;
        }
    }

    void OnAnswer(const QString& name, const QString& address, int code, bool on) {
        if (name != name_ || address != address_) return;
        if (stage_ == Stage::WaitingFirstAnswer) {
            const int row = front_.Table().FindDeviceRow(name_, address_);
            if (row < 0) return;
            stage_ = Stage::WaitingAnswer;
            host_.SendSetLedStatus(front_.Table().Row(row).device, line_.ledOn ? 1 : 0);
            host_.SendGetLedStatus(front_.Table().Row(row).device);
        } else if (stage_ == Stage::WaitingAnswer) {
            if (code != 0) {
                err_ << "norvale-discovery: " << Label() << " did not answer (error " << code << ")"
                     << Qt::endl;
                Finish(1);
                return;
            }
            out_ << Label() << ": identify LED " << (on ? "on" : "off") << Qt::endl;
            Finish(0);
        }
    }

    void Finish(int code) {
        stage_ = Stage::Done;
        finish_(code);
    }

    const CommandLine& line_;
    CliFrontEnd& front_;
    DiscoveryHost& host_;
    QTextStream& out_;
    QTextStream& err_;
    std::function<void(int)> finish_;
    Stage stage_ = Stage::Searching;
    QString name_;
    QString address_;
};

// Discovery needs UDP sockets; without port 1900 it still finds devices by
// searching, but does not hear them announce themselves. Returns false
// (with a message) when no socket can be opened at all.
bool CheckNetwork(QTextStream& err) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        err << "norvale-discovery: cannot open a network socket: " << std::strerror(errno)
            << Qt::endl;
        return false;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(1900);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        err << "norvale-discovery: warning: cannot listen on UDP port 1900 ("
            << std::strerror(errno) << "); devices are found by searching only" << Qt::endl;
    }
    close(fd);
    return true;
}

int DefaultTimeoutMs(const CommandLine& line) {
    if (line.timeoutSeconds) return static_cast<int>(*line.timeoutSeconds * 1000.0);
    if (line.mode == CommandLine::Mode::List) return 6000;
    if (line.mode == CommandLine::Mode::SetLed) return 10000;
    return -1;  // --watch: until interrupted
}

}  // namespace

int RunCommandLine(const CommandLine& line, int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!CheckNetwork(err)) return 1;
    std::unique_ptr<DemoNetwork> demo;
    if (line.demo) {
        demo = std::make_unique<DemoNetwork>();
        if (!demo->Start()) {
            err << "norvale-discovery: " << demo->Error() << Qt::endl;
            return 1;
        }
    } else if (!line.interfaces.empty()) {
        stack::SetInterfaceAllowList(line.interfaces);
    }

    CliFrontEnd front(out, line.mode == CommandLine::Mode::Watch, line.all);
    DiscoveryHost host(&front);
    SearchProgress progress(err, line.mode == CommandLine::Mode::List && isatty(STDERR_FILENO) == 1,
                            [&front] { return static_cast<int>(front.Rows().size()); });
    int exitCode = 0;
    auto finish = [&](int code) {
        progress.Erase();
        exitCode = code;
        if (host.ChainStopped()) {
            app.quit();
        } else {
            host.RequestStop();  // quits on the host's stopped signal
        }
    };
    QObject::connect(&host, &DiscoveryHost::stopped, &app, &QCoreApplication::quit);

    std::unique_ptr<SetLedTask> setLed;
    std::function<void()> onTimeout = [&] { finish(0); };
    if (line.mode == CommandLine::Mode::List) {
        front.onTableChanged = [&progress] { progress.Refresh(); };
        onTimeout = [&] {
            progress.Erase();
            const auto rows = front.Rows();
            out << (line.json ? RowsJson(rows) + QLatin1Char('\n') : FormatTable(rows));
            out.flush();
            finish(0);
        };
    } else if (line.mode == CommandLine::Mode::SetLed) {
        setLed = std::make_unique<SetLedTask>(line, front, host, out, err, finish);
        onTimeout = [&] { setLed->TimedOut(); };
    }
    const int timeoutMs = DefaultTimeoutMs(line);
    if (timeoutMs >= 0) QTimer::singleShot(timeoutMs, &app, onTimeout);
    std::function<void()> search;
    if (line.mode == CommandLine::Mode::Watch) search = [&] { host.Search(); };
    auto signalWatch = WatchSignals([&] { finish(0); }, search);

    host.Start();
    progress.Start();
    app.exec();
    return exitCode;
}

}  // namespace norvale::app
