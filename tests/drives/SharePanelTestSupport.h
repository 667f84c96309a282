#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include <QMouseEvent>
#include "app/CLuDiscoverDlg.h"
#include "drives/CMsgDriveMapDlg.h"
#include "drives/FakeSharePlatform.h"
#include "drives/SharePanel.h"
#include "skin/CLuButton.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuListBox.h"
#include "skin/CLuListCtrl.h"
#include "skin/MessageBoxSkin.h"

namespace norvale::test {

// One message the window showed.
struct ShownMessage {
    QString text;
    QString caption;
    int buttons = 0;
};

// The main window over a table-playing share platform with one selected
// device "Office NAS" at 127.0.0.5 (its map name), no discovery. Messages
// are recorded and answered with `answer` (IDYES by default).
class ShareWindowFixture {
  public:
    static constexpr const char* kServer = "\\\\127.0.0.5";

    explicit ShareWindowFixture(app::DiscoverDlgOptions options = {}) {
        platform = std::make_shared<drives::FakeSharePlatform>();
        if (!options.sharePlatform) options.sharePlatform = platform;
        options.startupDelayMs = 1000000;
        options.showMessage = [this](const QString& text, const QString& caption, QWidget*,
                                     int buttons) {
            messages.push_back({text, caption, buttons});
            return answer;
        };
        window = std::make_unique<app::CLuDiscoverDlg>(std::move(options));
        AddDevice(QStringLiteral("Office NAS"), QStringLiteral("127.0.0.5"), 3);
    }

    void AddDevice(const QString& name, const QString& address, int modelClass) {
        app::DeviceTable& table = window->Table();
        const int row = table.InsertRow(table.InsertPosition(name), name);
        table.SetAddress(row, address);
        app::DeviceFacts facts;
        facts.model = QStringLiteral("QMA5KS");
        facts.modelClass = modelClass;
        facts.supported = true;
        table.SetDevice(row, reinterpret_cast<cp::UPnPDevice*>(0x1000 + 16 * (row + 1)), facts);
        table.SetMapName(row, address);
        table.Select(row);
    }

    // Shares of the device's server, all disk shares.
    void SetShares(std::initializer_list<const char*> names) {
        std::vector<drives::ShareEntry> entries;
        for (const char* name : names)
            entries.push_back({QString::fromUtf8(name), drives::kShareDisk});
        platform->SetShares(QString::fromLatin1(kServer), entries);
    }

    static QString Path(const char* share) {
        return QString::fromLatin1(kServer) + QLatin1Char('\\') + QString::fromUtf8(share);
    }

    QStringList RowTexts() const {
        QStringList texts;
        drives::SharePanel* panel = window->SharePanel();
        if (!panel) return texts;
        for (int i = 0; i < panel->Rows().Count(); ++i) texts << panel->Rows().Text(i);
        return texts;
    }
    char16_t RowLetter(int item) const { return window->SharePanel()->Rows().At(item).letter; }

    // A left click on the panel's visible row.
    void ClickRow(int row) {
        drives::SharePanel* panel = window->SharePanel();
        CLuListCtrl* list = panel->List();
        const QPoint at(list->width() / 2, row * list->RowHeight() + list->RowHeight() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, list->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, list->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list, &release);
    }

    std::shared_ptr<drives::FakeSharePlatform> platform;
    std::unique_ptr<app::CLuDiscoverDlg> window;
    std::vector<ShownMessage> messages;
    int answer = IDYES;
};

// Answers the next letter question once it is up: `before` runs first (it
// may change the platform meanwhile), then the drive name `drive` is chosen
// and Yes pressed (No when drive is empty). *offered gets the entry the
// combo shows first, then every entry of its list.
inline void AnswerLetterQuestion(const QString& drive, QStringList* offered = nullptr,
                                 std::function<void()> before = {}) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto* question = qobject_cast<drives::CMsgDriveMapDlg*>(QApplication::activeModalWidget());
        if (!question) return;
        timer->stop();
        timer->deleteLater();
        if (before) before();
        if (offered) {
            // What the combo offers, the entry shown first ahead of the list.
            CLuListBox* list = question->Combo()->ListBox();
            *offered = QStringList{question->Combo()->GetCurText()};
            for (int i = 0; i < list->GetCount(); ++i) *offered << list->GetText(i);
        }
        if (drive.isEmpty()) {
            question->NoButton()->click();
            return;
        }
        question->SelectDrive(static_cast<int>(question->FreeDrives().indexOf(drive)));
        question->YesButton()->click();
    });
    timer->start();
}

}  // namespace norvale::test
