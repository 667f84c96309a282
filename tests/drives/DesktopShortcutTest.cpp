// The "Create Desktop Shortcut" button: the desktop entry it writes and the
// names it must never let out of the desktop folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "drives/DesktopShortcut.h"
#include "resources/MainImageIds.h"
#include "tests/drives/SharePanelTestSupport.h"

namespace norvale::test {
namespace {

struct ShortcutFixture {
    ShortcutFixture() : window(Options()) {}
    app::DiscoverDlgOptions Options() {
        app::DiscoverDlgOptions options;
        options.shortcutFolders = {root.path() + QStringLiteral("/home/Desktop"),
                                   root.path() + QStringLiteral("/home/.local/share")};
        return options;
    }
    QString Desktop() const { return root.path() + QStringLiteral("/home/Desktop"); }
    QStringList AllFiles() const {
        QStringList files;
        QDirIterator it(root.path(), QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) files << it.next().mid(root.path().size() + 1);
        files.sort();
        return files;
    }
    QTemporaryDir root;
    ShareWindowFixture window;
};

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(DesktopShortcutButton, OfficeNasGetsALinkEntryWithItsClassIcon) {
    ShortcutFixture f;
    app::DeviceTable& table = f.window.window->Table();
    table.SetMapName(0, QStringLiteral("192.168.1.20"));
    table.SetAddress(0, QStringLiteral("192.168.1.20"));
    f.window.window->OnCreateDesktopShortcut();

    const QString path = f.Desktop() + QStringLiteral("/Office NAS (192.168.1.20).desktop");
    ASSERT_TRUE(QFileInfo(path).isFile()) << f.AllFiles().join(' ').toStdString();
    EXPECT_EQ(ReadText(path), QStringLiteral("[Desktop Entry]\nVersion=1.0\nType=Link\n"
                                             "Name=Office NAS (192.168.1.20)\n"
                                             "URL=smb://192.168.1.20/\n"
                                             "Icon=norvale-discovery-class3\n"));
    EXPECT_TRUE(QFileInfo(path).permissions() & QFile::ExeOwner) << "a launcher";
    QFile icon(f.root.path() +
               "/home/.local/share/icons/hicolor/256x256/apps/norvale-discovery-class3.png");
    QFile picture(QStringLiteral(":/png/%1.png").arg(MainImage::kClass3Icon));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly) && picture.open(QIODevice::ReadOnly));
    EXPECT_EQ(icon.readAll(), picture.readAll());
    ASSERT_EQ(f.window.messages.size(), 1u);
    EXPECT_EQ(f.window.messages[0].text, QStringLiteral("Desktop Shortcut Created Successfully!"));
    EXPECT_EQ(f.window.messages[0].caption, QStringLiteral("Create Desktop Shortcut"));

    // Again: the entry is replaced in place, the icon not written twice.
    f.window.window->OnCreateDesktopShortcut();
    EXPECT_EQ(f.AllFiles().size(), 2);
    EXPECT_EQ(f.window.messages.size(), 2u);
}

TEST(DesktopShortcutButton, NothingForClassZeroAndNoSuccessWhenTheSaveFails) {
    {
        ShortcutFixture f;
        f.window.AddDevice(QStringLiteral("Other"), QStringLiteral("10.0.0.1"), 0);
        f.window.window->OnCreateDesktopShortcut();
        EXPECT_TRUE(f.AllFiles().isEmpty());
        EXPECT_TRUE(f.window.messages.empty());
    }
    {
        // The desktop folder cannot exist: a file stands where it would go.
        QTemporaryDir root;
        QFile blocker(root.path() + QStringLiteral("/home"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        app::DiscoverDlgOptions options;
        options.shortcutFolders = {root.path() + QStringLiteral("/home/Desktop"),
                                   root.path() + QStringLiteral("/share")};
        ShareWindowFixture f(options);
        f.window->OnCreateDesktopShortcut();
        EXPECT_TRUE(f.messages.empty()) << "a failed save is not reported as success";
    }
    {
        // A folder stands under the entry's name: the rename fails.
        ShortcutFixture f;
        ASSERT_TRUE(QDir().mkpath(f.Desktop() + QStringLiteral("/Office NAS (127.0.0.5).desktop")));
        f.window.window->OnCreateDesktopShortcut();
        EXPECT_TRUE(f.window.messages.empty());
        EXPECT_EQ(QDir(f.Desktop()).entryList(QDir::Files | QDir::Hidden).size(), 0)
            << "no temporary file is left behind";
    }
}

TEST(DesktopShortcutButton, HostileNamesWriteOnlyInsideTheDesktopFolder) {
    const char* hostile[] = {
        "../.config/autostart/x",           "..",     "/etc/passwd", "..\\..\\x",
        "\n[Desktop Entry]\nExec=rm -rf ~", ".hidden"};
    for (const char* name : hostile) {
        ShortcutFixture f;
        app::DeviceTable& table = f.window.window->Table();
        table.RemoveRow(0);
        f.window.AddDevice(QString::fromUtf8(name), QStringLiteral("127.0.0.5"), 1);
        f.window.window->OnCreateDesktopShortcut();
        for (const QString& file : f.AllFiles()) {
            EXPECT_TRUE(file.startsWith(QStringLiteral("home/Desktop/")) ||
                        file.startsWith(QStringLiteral("home/.local/share/icons/")))
                << name << " wrote " << file.toStdString();
        }
        const QStringList entries = QDir(f.Desktop()).entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(entries.size(), 1) << name;
        EXPECT_FALSE(entries[0].startsWith(QLatin1Char('.'))) << name;
        const QString text = ReadText(f.Desktop() + QLatin1Char('/') + entries[0]);
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.count(QStringLiteral("[Desktop Entry]")), 1) << text.toStdString();
        for (const QString& line : lines) {
            EXPECT_FALSE(line.startsWith(QStringLiteral("Exec"))) << text.toStdString();
        }
    }
}

TEST(DesktopShortcutButton, APlantedLinkIsReplacedNotFollowed) {
    ShortcutFixture f;
    ASSERT_TRUE(QDir().mkpath(f.Desktop()));
    const QString victim = f.root.path() + QStringLiteral("/victim");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    const QString entry = f.Desktop() + QStringLiteral("/Office NAS (127.0.0.5).desktop");
    ASSERT_TRUE(QFile::link(victim, entry));
    f.window.window->OnCreateDesktopShortcut();
    EXPECT_EQ(ReadText(victim), QStringLiteral("keep"));
    EXPECT_FALSE(QFileInfo(entry).isSymLink());
    EXPECT_TRUE(ReadText(entry).contains(QStringLiteral("URL=smb://127.0.0.5/")));
}

TEST(DesktopEntryText, ValuesAreEscapedAndNamesCapped) {
    EXPECT_EQ(drives::EscapeDesktopEntryValue(QStringLiteral(" a\\b\nc\td\re\x01")),
              QStringLiteral("\\sa\\\\b\\nc\\td\\re"));
    const QString name = drives::DesktopShortcutFileName(QString(500, QChar(0x00E9)), "1.2.3.4");
    EXPECT_LE(name.toUtf8().size(), 200);
    EXPECT_TRUE(name.endsWith(QStringLiteral(" (1.2.3.4).desktop")));
    EXPECT_EQ(drives::DesktopShortcutFileName(QStringLiteral("..."), QStringLiteral("10.0.0.1")),
              QStringLiteral("10.0.0.1.desktop"));
    EXPECT_EQ(drives::DesktopShortcutFileName(QStringLiteral("a\u202Eb"), QString()),
              QStringLiteral("ab.desktop"))
        << "format characters (right-to-left override) are dropped";
    EXPECT_EQ(drives::ShortcutUrl(QStringLiteral("Office NAS"), QStringLiteral("10.0.0.1")),
              QStringLiteral("smb://10.0.0.1/"))
        << "a name that is no host falls back to the address";
    EXPECT_TRUE(drives::ShortcutUrl(QStringLiteral("a b"), QStringLiteral("c/d")).isEmpty());
}

}  // namespace
}  // namespace norvale::test
