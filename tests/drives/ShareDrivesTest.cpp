// The share operations against a table-playing platform: which shares are
// listed and usable, their order, which letters automatic mapping takes, and
// what the interactive calls show.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QWidget>

#include "drives/FakeSharePlatform.h"
#include "drives/ShareDrives.h"

namespace drives {
namespace {

const QString kServer = QStringLiteral("\\\\NAS");

struct Row {
    QString text;
    char16_t letter;
    bool operator==(const Row& other) const = default;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << '"' << row.text.toStdString() << "\" " << char(row.letter ? row.letter : '0');
}

class RecordingSink : public ShareRowSink {
  public:
    void AddShareRow(const QString& share, char16_t letter) override {
        rows.push_back({ShareDrives::RowText(share, letter), letter});
        shares.push_back(share);
    }
    std::vector<Row> rows;
    std::vector<QString> shares;
};

std::vector<ShareEntry> Disks(std::initializer_list<const char*> names) {
    std::vector<ShareEntry> out;
    for (const char* name : names) out.push_back({QString::fromUtf8(name), kShareDisk});
    return out;
}

// One listing: the server's shares, what the letters hold, the map flag and
// the rows the panel must get.
struct ListCase {
    const char* name;
    std::vector<ShareEntry> shares;
    std::function<void(FakeSharePlatform&)> letters;
    bool map;
    std::vector<Row> rows;
};

void LocalCtoF(FakeSharePlatform& p) {
    for (char16_t l = u'C'; l <= u'F'; ++l) p.SetLocalDrive(l);
}

std::vector<ListCase> ListCases() {
    return {
        {"SortedByCodeUnitsUpperCaseFirst",
         Disks({"b", "A", "a"}),
         nullptr,
         false,
         {{"A", 0}, {"a", 0}, {"b", 0}}},
        {"EqualNamesKeepServerOrder",
         {{"x", kShareDisk}, {"x", kShareDevice}, {"Zed", kShareDisk}},
         nullptr,
         false,
         {{"Zed", 0}, {"x", 0}, {"x", 0}}},
        {"HiddenPrintAndConfigurationNeverListed",
         {{"data", kShareDisk},
          {"hidden$", kShareDisk},
          {"printer", kSharePrintQueue},
          {"Configuration", kShareDisk},
          {"CONFIGURATION", kShareDisk},
          {"configuration", kShareDisk},
          {"IPC$", kShareIpc},
          {"$middle", kShareDisk}},
         nullptr,
         false,
         {{"$middle", 0}, {"data", 0}}},
        {"AutomaticMappingTakesZThenY",
         Disks({"one", "two"}),
         [](FakeSharePlatform& p) {
             LocalCtoF(p);
             p.SetNetworkDrive(u'G', QStringLiteral("\\\\OTHER\\g"));
         },
         true,
         {{"one (Z:)", u'Z'}, {"two (Y:)", u'Y'}}},
        {"AutomaticMappingSkipsLetterMappedElsewhere",
         Disks({"one", "two"}),
         [](FakeSharePlatform& p) {
             LocalCtoF(p);
             p.SetNetworkDrive(u'Z', QStringLiteral("\\\\OTHER\\x"));
             p.SetLocalDrive(u'X', kDriveFixed);
         },
         true,
         {{"one (Y:)", u'Y'}, {"two (W:)", u'W'}}},
        {"AlreadyMappedShareKeepsItsLetter",
         Disks({"data", "media"}),
         [](FakeSharePlatform& p) { p.SetNetworkDrive(u'M', QStringLiteral("\\\\nas\\DATA")); },
         true,
         {{"data (M:)", u'M'}, {"media (Z:)", u'Z'}}},
        {"MappedShareShownWithoutMapFlag",
         Disks({"data", "media"}),
         [](FakeSharePlatform& p) { p.SetNetworkDrive(u'M', QStringLiteral("\\\\NAS\\data")); },
         false,
         {{"data (M:)", u'M'}, {"media", 0}}},
        {"RememberedUnavailableCountsAsMapped",
         Disks({"data"}),
         [](FakeSharePlatform& p) {
             p.SetNetworkDrive(u'Q', QStringLiteral("\\\\NAS\\data"), false);
         },
         true,
         {{"data (Q:)", u'Q'}}},
        {"AllLettersTakenGivesPlainRows",
         Disks({"one", "two"}),
         [](FakeSharePlatform& p) {
             for (char16_t l = u'D'; l <= u'Z'; ++l) {
                 p.SetNetworkDrive(l, QStringLiteral("\\\\OTHER\\s%1").arg(QChar(l)));
             }
         },
         true,
         {{"one", 0}, {"two", 0}}},
        {"LastFreeLetterIsD",
         Disks({"one", "two"}),
         [](FakeSharePlatform& p) {
             for (char16_t l = u'E'; l <= u'Z'; ++l) p.SetLocalDrive(l);
         },
         true,
         {{"one (D:)", u'D'}, {"two", 0}}},
        {"FailedMappingLeavesLetterForNextShare",
         Disks({"bad", "good"}),
         [](FakeSharePlatform& p) {
             p.SetConnectResult(QStringLiteral("\\\\NAS\\bad"), kErrorAccessDenied);
         },
         true,
         {{"bad", 0}, {"good (Z:)", u'Z'}}},
        {"ListingOnlyMapsNothing", Disks({"one"}), nullptr, false, {{"one", 0}}},
    };
}

class ListSharesTable : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListSharesTable, RowsAndLetters) {
    const ListCase& c = GetParam();
    FakeSharePlatform platform;
    platform.SetShares(kServer, c.shares);
    if (c.letters) c.letters(platform);
    ShareDrives drives(platform);
    RecordingSink sink;
    EXPECT_EQ(drives.ListShares(QStringLiteral("NAS"), c.map, &sink), 1);
    EXPECT_EQ(sink.rows, c.rows);
    for (std::size_t i = 0; i < sink.rows.size(); ++i) {
        const Row& row = sink.rows[i];
        if (!row.letter) continue;
        const FakeSharePlatform::Letter* held = platform.LetterOf(row.letter);
        ASSERT_NE(held, nullptr) << row.text.toStdString();
        // The letter of each row holds that row's share.
        EXPECT_EQ(
            held->remote.compare(ShareDrives::SharePath(QStringLiteral("NAS"), sink.shares[i]),
                                 Qt::CaseInsensitive),
            0)
            << row.text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(ShareDrives, ListSharesTable, ::testing::ValuesIn(ListCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShareDrivesListing, AutomaticMappingIsSilentAndConnectsWithoutPrompt) {
    FakeSharePlatform platform;
    platform.SetShares(kServer, Disks({"bad", "good"}));
    platform.SetConnectResult(QStringLiteral("\\\\NAS\\bad"), kErrorAccessDenied);
    ShareDrives drives(platform);
    int shown = 0;
    drives.SetErrorPresenter([&](const QString&, QWidget*) { ++shown; });
    QSignalSpy busy(&drives, &ShareDrives::busy);
    RecordingSink sink;
    drives.ListShares(QStringLiteral("NAS"), true, &sink);
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(platform.Calls().size(), 2u);
    for (const auto& call : platform.Calls()) {
        EXPECT_FALSE(call.interactive);
        EXPECT_EQ(call.owner, nullptr);
    }
    EXPECT_EQ(platform.Calls()[0].drive, QStringLiteral("Z:"));
    EXPECT_EQ(platform.Calls()[1].drive, QStringLiteral("Z:"));
    // Without an owner only the "after" notice is sent, once per attempt.
    ASSERT_EQ(busy.count(), 2);
    EXPECT_EQ(busy.at(0).at(0).toInt(), 1);
}

// Every connection takes ten seconds of a clock the test keeps.
class SlowConnections : public FakeSharePlatform {
  public:
    int AddConnection(const QString& drive, const QString& remote, bool interactive,
                      QWidget* owner) override {
        now += 10000;
        return FakeSharePlatform::AddConnection(drive, remote, interactive, owner);
    }
    qint64 now = 0;
};

TEST(ShareDrivesListing, AutomaticMappingEndsWithinItsBoundAndNamesWhatItLeft) {
    SlowConnections platform;
    std::vector<ShareEntry> shares;
    for (int i = 1; i <= 23; ++i)
        shares.push_back({QStringLiteral("s%1").arg(i, 2, 10, QLatin1Char('0')), kShareDisk});
    ShareDrives drives(platform);
    drives.SetClock([&] { return platform.now; });
    RecordingSink sink;
    std::vector<MapFailure> failures;
    ASSERT_EQ(drives.ListShares(QStringLiteral("NAS"), shares, true, &sink, &failures), 1);
    ASSERT_EQ(sink.rows.size(), 23u);
    EXPECT_EQ(sink.rows[2], (Row{"s03 (X:)", u'X'}));
    EXPECT_EQ(sink.rows[3], (Row{"s04", 0})) << "no connection is started after 30 s";
    EXPECT_LE(platform.now, ShareDrives::kAutomaticMappingMs);
    ASSERT_EQ(failures.size(), 20u);
    EXPECT_EQ(failures[0].share, QStringLiteral("s04"));
    EXPECT_EQ(failures[0].code, kErrorTimeout);
    // The connections are started together, given no more than the bound.
    ASSERT_EQ(platform.PrepareTimeouts().size(), 1u);
    EXPECT_EQ(platform.PrepareTimeouts()[0], ShareDrives::kAutomaticMappingMs);
}

TEST(ShareDrivesListing, EnumerationFailureOrNoSharesSendsNothing) {
    FakeSharePlatform platform;
    platform.SetShares(kServer, Disks({"data"}), kErrorAccessDenied);
    platform.SetShares(QStringLiteral("\\\\EMPTY"), {});
    ShareDrives drives(platform);
    RecordingSink sink;
    EXPECT_EQ(drives.ListShares(QStringLiteral("NAS"), true, &sink), 0);
    EXPECT_EQ(drives.ListShares(QStringLiteral("EMPTY"), true, &sink), 0);
    EXPECT_EQ(drives.ListShares(QStringLiteral("UNKNOWN"), true, &sink), 0);
    EXPECT_TRUE(sink.rows.empty());
    EXPECT_TRUE(platform.Calls().empty());
}

TEST(ShareDrivesListing, UsableSharesIgnoreHiddenPrintersAndConfiguration) {
    FakeSharePlatform platform;
    platform.SetShares(
        QStringLiteral("\\\\ONLYHIDDEN"),
        {{"hidden$", kShareDisk}, {"lp", kSharePrintQueue}, {"cOnFiGuRaTiOn", kShareDisk}});
    platform.SetShares(QStringLiteral("\\\\IPC"), {{"ipc", kShareIpc}});
    platform.SetShares(kServer, {{"lp", kSharePrintQueue}, {"data", kShareDisk}});
    platform.SetShares(QStringLiteral("\\\\DENIED"), Disks({"data"}), kErrorAccessDenied);
    ShareDrives drives(platform);
    EXPECT_EQ(drives.ListUsableShares(QStringLiteral("ONLYHIDDEN")), 0);
    EXPECT_EQ(drives.ListUsableShares(QStringLiteral("NAS")), 1);
    EXPECT_EQ(drives.ListUsableShares(QStringLiteral("DENIED")), 0);
    EXPECT_EQ(drives.ListUsableShares(QStringLiteral("NOWHERE")), 0);
    // An IPC share is not a print queue, a hidden share or "Configuration".
    EXPECT_EQ(drives.ListUsableShares(QStringLiteral("IPC")), 1);
}

TEST(ShareDrivesLetters, FindMappedDriveComparesWithoutCaseAndSkipsLocalDrives) {
    FakeSharePlatform platform;
    platform.SetNetworkDrive(u'K', QStringLiteral("\\\\nas\\Data"));
    platform.SetNetworkDrive(u'R', QStringLiteral("\\\\NAS\\old"), false);
    platform.SetNetworkDrive(u'C', QStringLiteral("\\\\NAS\\low"));  // below D: never examined
    ShareDrives drives(platform);
    QString drive;
    EXPECT_EQ(drives.FindMappedDrive(QStringLiteral("\\\\NAS\\DATA"), &drive), 0);
    EXPECT_EQ(drive, QStringLiteral("K:"));
    EXPECT_EQ(drives.FindMappedDrive(QStringLiteral("\\\\NAS\\old"), &drive), 1);
    EXPECT_EQ(drive, QStringLiteral("R:"));
    drive = QStringLiteral("unchanged");
    EXPECT_EQ(drives.FindMappedDrive(QStringLiteral("\\\\NAS\\low"), &drive), 2);
    EXPECT_EQ(drives.FindMappedDrive(QStringLiteral("\\\\NAS\\Dat"), &drive), 2);
    EXPECT_EQ(drive, QStringLiteral("unchanged"));
}

TEST(ShareDrivesLetters, FreeDriveNamesFromZDownSkipTakenLetters) {
    FakeSharePlatform platform;
    for (char16_t l = u'D'; l <= u'Z'; ++l) platform.SetLocalDrive(l, kDriveFixed);
    platform.SetNetworkDrive(u'Y', QStringLiteral("\\\\A\\b"), false);
    platform.SetLocalDrive(u'Z', kDriveNoRootDir);
    platform.SetLocalDrive(u'X', kDriveNoRootDir);
    platform.SetLocalDrive(u'D', kDriveNoRootDir);
    ShareDrives drives(platform);
    EXPECT_EQ(drives.FreeDriveNames(), (QStringList{"Z:", "X:", "D:"}));
}

TEST(ShareDrivesConnect, InteractiveMappingSignalsBusyAndShowsErrors) {
    FakeSharePlatform platform;
    platform.SetConnectResult(QStringLiteral("\\\\NAS\\bad"), kErrorAccessDenied);
    platform.SetConnectResult(QStringLiteral("\\\\NAS\\cancel"), kErrorCancelled);
    ShareDrives drives(platform);
    std::vector<QString> shown;
    drives.SetErrorPresenter([&](const QString& text, QWidget*) { shown.push_back(text); });
    QSignalSpy busy(&drives, &ShareDrives::busy);
    QWidget owner;

    EXPECT_EQ(drives.MapDrive(&owner, QStringLiteral("Y:"), QStringLiteral("\\\\NAS\\good")), 0);
    EXPECT_TRUE(platform.Calls().back().interactive);
    EXPECT_EQ(platform.Calls().back().owner, &owner);
    EXPECT_EQ(drives.MapDrive(&owner, QStringLiteral("X:"), QStringLiteral("\\\\NAS\\bad")), 5);
    EXPECT_EQ(drives.MapDrive(&owner, QStringLiteral("W:"), QStringLiteral("\\\\NAS\\cancel")),
              kErrorCancelled);
    ASSERT_EQ(busy.count(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(busy.at(i).at(0).toInt(), i % 2);
    // The cancelled prompt shows nothing.
    EXPECT_EQ(shown, std::vector<QString>{QStringLiteral("Error 5")});
}

TEST(ShareDrivesConnect, ConnectAndLoginUseNoLetterAndReportAsDocumented) {
    FakeSharePlatform platform;
    platform.SetConnectResult(QStringLiteral("\\\\NAS\\bad"), kErrorBadNetName);
    platform.SetConnectResult(QStringLiteral("\\\\CANCEL"), kErrorCancelled);
    platform.SetConnectResult(QStringLiteral("\\\\DENIED"), kErrorAccessDenied);
    ShareDrives drives(platform);
    std::vector<QString> shown;
    drives.SetErrorPresenter([&](const QString& text, QWidget*) { shown.push_back(text); });
    QWidget owner;
    EXPECT_EQ(drives.ConnectInteractive(&owner, QStringLiteral("\\\\NAS\\good")), 1);
    EXPECT_EQ(drives.ConnectInteractive(&owner, QStringLiteral("\\\\NAS\\bad")), 0);
    EXPECT_EQ(drives.LoginToServer(&owner, QStringLiteral("\\\\CANCEL")), 0);
    EXPECT_EQ(drives.LoginToServer(&owner, QStringLiteral("\\\\DENIED")), 1);
    EXPECT_EQ(shown, std::vector<QString>{QStringLiteral("Error 67")});
    for (const auto& call : platform.Calls()) {
        EXPECT_TRUE(call.drive.isEmpty());
        EXPECT_TRUE(call.interactive);
    }
    // Errors without an owner show nothing.
    drives.ShowSystemError(kErrorAccessDenied, nullptr);
    EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
}  // namespace drives
