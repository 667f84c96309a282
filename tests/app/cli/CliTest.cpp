// The command-line front end end to end: norvale-discovery against the NAS
// simulator, each case in a namespace of its own.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

// Readable failure messages for Qt strings.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}
QString Scenario(const QString& file) {
    return Env("NORVALE_SOURCE_DIR") + "/tests/app/cli/scenarios/" + file;
}

// Starts the simulator with `scenario`, waits for its devices, runs
// norvale-discovery with `args`, stops the simulator. With `hosts`, the
// namespace resolves names from that hosts file.
Outcome RunDiscovery(const QString& scenario, const QString& args, const QString& hosts = {}) {
    const QString bin = Env("NORVALE_BIN_DIR");
    const QString script =
        QStringLiteral(
            "sim=$(mktemp); %1/nas-sim --scenario %2 < /dev/null > $sim 2>/dev/null &"
            " pid=$!; for i in $(seq 200); do grep -q '^ready' $sim && break; sleep 0.05; done;"
            " %1/norvale-discovery %3; rc=$?; kill $pid; wait $pid 2>/dev/null; rm -f $sim; exit "
            "$rc")
            .arg(bin, scenario, args);
    QStringList command;
    if (!hosts.isEmpty()) command << "--hosts" << hosts;
    command << "sh"
            << "-c" << script;
    QProcess process;
    process.start(Env("NORVALE_NETNS_RUN"), command);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

std::map<QString, QJsonObject> ByName(const QString& json) {
    std::map<QString, QJsonObject> rows;
    for (const QJsonValue& value : QJsonDocument::fromJson(json.toUtf8()).array()) {
        rows[value.toObject()["name"].toString()] = value.toObject();
    }
    return rows;
}

QStringList Names(const QString& json) {
    QStringList names;
    for (const QJsonValue& value : QJsonDocument::fromJson(json.toUtf8()).array()) {
        names << value.toObject()["name"].toString() + "@" + value.toObject()["ip"].toString();
    }
    return names;
}

}  // namespace

TEST(CommandLineList, JsonCoversEveryModelRuleWithAFixedKeySet) {
    const Outcome run = RunDiscovery(Scenario("models.json"),
                                     "--list --json --all --timeout 3 --interface 127.0.0.1");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto rows = ByName(run.out);
    const QStringList keys{"name",     "mapName",    "ip",
                           "led",      "model",      "modelClass",
                           "udn",      "deviceType", "presentationURL",
                           "location", "configure",  "identifyLed",
                           "supported"};
    for (const auto& [name, row] : rows) {
        QStringList sorted = keys;
        sorted.sort();
        EXPECT_EQ(row.keys(), sorted) << name.toStdString();
    }
    // Key order is fixed in the text itself.
    EXPECT_TRUE(run.out.contains(R"({"name":"Alpha","mapName":"127.0.0.)"));

    ASSERT_EQ(rows.size(), 12u) << run.out.toStdString();
    EXPECT_EQ(rows.at("Legacy")["model"], "QMA5KS0000");  // rewritten, then listed
    EXPECT_EQ(rows.at("Legacy")["modelClass"], 1);
    EXPECT_TRUE(rows.at("Legacy")["supported"].toBool());
    EXPECT_TRUE(rows.at("Legacy")["led"].toBool());
    EXPECT_FALSE(rows.at("Legacy Long")["supported"].toBool());
    EXPECT_TRUE(rows.at("Alpha")["led"].toBool());  // LEDStatus 2 counts as on
    EXPECT_TRUE(rows.at("Bravo")["supported"].toBool());
    EXPECT_FALSE(rows.at("Lower")["supported"].toBool());
    EXPECT_EQ(rows.at("Charlie")["modelClass"], 3);
    EXPECT_FALSE(rows.at("Charlie")["identifyLed"].toBool());  // never for QMR7TX/QMR8TX
    EXPECT_FALSE(rows.at("Charlie Long")["supported"].toBool());
    EXPECT_EQ(rows.at("Delta")["modelClass"], 2);
    EXPECT_FALSE(rows.at("Delta")["identifyLed"].toBool());
    EXPECT_FALSE(rows.at("Echo")["configure"].toBool());
    EXPECT_EQ(rows.at("Echo")["modelClass"], 4);
    EXPECT_FALSE(rows.at("Foxtrot")["configure"].toBool());
    EXPECT_TRUE(rows.at("Golf")["model"].isNull());
    EXPECT_FALSE(rows.at("Golf")["supported"].toBool());
    EXPECT_FALSE(rows.at("Hotel")["supported"].toBool());
    EXPECT_TRUE(rows.at("Alpha")["identifyLed"].toBool());
    EXPECT_TRUE(rows.at("Alpha")["configure"].toBool());
    EXPECT_TRUE(rows.at("Alpha")["presentationURL"].isNull());
    EXPECT_TRUE(rows.at("Legacy")["presentationURL"].toString().endsWith("/index.html"));
    EXPECT_EQ(rows.at("Alpha")["deviceType"], "urn:schemas-upnp-org:device:LuNAS:1");

    const Outcome listed =
        RunDiscovery(Scenario("models.json"), "--list --json --timeout 3 --interface 127.0.0.1");
    EXPECT_EQ(ByName(listed.out).size(), 7u) << "without --all only table rows appear";
}

TEST(CommandLineList, TableRulesForOrderDuplicatesMapNamesAndLedAnswers) {
    QTemporaryDir dir;
    QFile hosts(dir.filePath("hosts"));
    ASSERT_TRUE(hosts.open(QIODevice::WriteOnly));
    // The simulator gives addresses in scenario order from 127.0.0.2.
    hosts.write("127.0.0.1 localhost\n127.0.0.6 resolved-nas\n127.0.0.99 elsewhere-nas\n");
    hosts.close();
    const Outcome run =
        RunDiscovery(Scenario("table.json"), "--list --json --timeout 3 --interface 127.0.0.1",
                     hosts.fileName());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // Equal names keep arrival order (twin-b answers later); one row for a
    // device that both control points report.
    EXPECT_EQ(Names(run.out),
              (QStringList{"Aaa@127.0.0.4", "Both@127.0.0.5", "Faulty@127.0.0.8", "Twin@127.0.0.2",
                           "Twin@127.0.0.3", "elsewhere-nas@127.0.0.7", "resolved-nas@127.0.0.6"}))
        << run.out.toStdString();
    const auto rows = ByName(run.out);
    EXPECT_EQ(rows.at("resolved-nas")["mapName"], "resolved-nas");
    EXPECT_EQ(rows.at("elsewhere-nas")["mapName"], "127.0.0.7");
    EXPECT_EQ(rows.at("Aaa")["mapName"], "127.0.0.4");
    EXPECT_FALSE(rows.at("Faulty")["led"].toBool());  // a failed answer changes nothing
}

TEST(CommandLineList, NetworkTextReachesTheTerminalWithControlCharactersEscaped) {
    const Outcome list =
        RunDiscovery(Scenario("hostile.json"), "--list --timeout 2 --interface 127.0.0.1");
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_FALSE(list.out.contains(QChar(0x1b)));
    EXPECT_FALSE(list.out.contains(QChar('\r')));
    EXPECT_FALSE(list.out.contains(QChar(0x202e)));
    EXPECT_TRUE(list.out.contains(R"(Evil\x1b[2J\rName\u202e  127.0.0.2)"))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(R"(QMA5KS\x1b]0;t\x07)")) << list.out.toStdString();
    EXPECT_EQ(list.out.count('\n'), 2);  // headings and one row

    // The device's own name in the messages of --set-led.
    const Outcome set =
        RunDiscovery(Scenario("hostile.json"),
                     "--set-led on --device 127.0.0.2 --timeout 5 --interface 127.0.0.1");
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, "Evil\\x1b[2J\\rName\\u202e (127.0.0.2): identify LED on\n");

    // JSON keeps its own escapes.
    const Outcome json =
        RunDiscovery(Scenario("hostile.json"), "--list --json --timeout 2 --interface 127.0.0.1");
    EXPECT_TRUE(json.out.contains(R"("name":"Evil\u001b[2J\rName)")) << json.out.toStdString();
}

// Runs --list with standard error on a pseudo-terminal; returns what the
// terminal received.
QString ListOnATerminal(const QString& args, Outcome* run) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return "openpty failed";
    *run = RunDiscovery(Scenario("watch.json"), args + " 2>" + QString::fromLatin1(name));
    close(slave);
    fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray seen;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
    close(master);
    return QString::fromUtf8(seen);
}

TEST(CommandLineList, ProgressOnATerminalCountsAndIsErasedBeforeTheTable) {
    Outcome run;
    const QString terminal = ListOnATerminal("--list --timeout 3.5 --interface 127.0.0.1", &run);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(terminal.contains("Searching for devices... 0 s, 0 devices found"))
        << terminal.toStdString();
    EXPECT_TRUE(terminal.contains("2 devices found")) << terminal.toStdString();
    EXPECT_TRUE(terminal.contains("... 3 s, ")) << terminal.toStdString();
    EXPECT_TRUE(terminal.endsWith("\r\x1b[K")) << terminal.toStdString();  // erased, cursor at 0
    EXPECT_FALSE(terminal.contains('\n'));                                 // one line only
    EXPECT_TRUE(run.out.startsWith("NAME")) << run.out.toStdString();

    // Not a terminal: nothing but the result.
    const Outcome piped =
        RunDiscovery(Scenario("watch.json"), "--list --timeout 1.5 --interface 127.0.0.1");
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.err, "");
    EXPECT_TRUE(piped.out.startsWith("NAME"));
}

TEST(CommandLineWatch, ReportsAddedLedAndRemovedByByebyeAndExpiry) {
    const Outcome run =
        RunDiscovery(Scenario("watch.json"), "--watch --timeout 7 --interface 127.0.0.1");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList events;
    for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject event = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_FALSE(event.isEmpty()) << line.toStdString();
        events << event["event"].toString() + ":" + event["name"].toString() + ":" +
                      (event["led"].toBool() ? "on" : "off");
    }
    EXPECT_TRUE(events.contains("added:Lit:off"));
    EXPECT_TRUE(events.contains("led:Lit:on"));
    EXPECT_TRUE(events.contains("removed:Lit:on"));      // byebye
    EXPECT_TRUE(events.contains("removed:Fading:off"));  // max-age ran out
    EXPECT_LT(events.indexOf("added:Lit:off"), events.indexOf("led:Lit:on"));
    EXPECT_LT(events.indexOf("led:Lit:on"), events.indexOf("removed:Lit:on"));
}

TEST(CommandLineSetLed, SwitchesTheLedAndReportsWhatTheDeviceSays) {
    const Outcome on = RunDiscovery(
        Scenario("watch.json"), "--set-led on --device Fading --timeout 5 --interface 127.0.0.1");
    EXPECT_EQ(on.exitCode, 0) << on.err.toStdString();
    EXPECT_TRUE(on.out.contains("Fading (127.0.0.3): identify LED on")) << on.out.toStdString();
    const Outcome missing = RunDiscovery(
        Scenario("watch.json"), "--set-led off --device Nobody --timeout 2 --interface 127.0.0.1");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("no device named or at Nobody was found"))
        << missing.err.toStdString();
}

TEST(CommandLineUsage, BadUsageExitsTwoWithOneLineAndTheUsage) {
    QProcess process;
    process.start(Env("NORVALE_BIN_DIR") + "/norvale-discovery", {"--list", "--timeout", "soon"});
    process.waitForFinished(10000);
    EXPECT_EQ(process.exitCode(), 2);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.startsWith("norvale-discovery: --timeout needs a positive number of seconds"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("Usage:"));
}

TEST(CommandLineUsage, HelpExitsZeroForEveryProgram) {
    const QString bin = Env("NORVALE_BIN_DIR");
    for (const char* program :
         {"norvale-discovery", "norvale-autoupdate", "norvale-shares", "nas-sim", "zip-extract",
          "window-shots", "skin-gallery", "skin-art"}) {
        ASSERT_TRUE(QFile::exists(bin + "/" + program)) << program;
        for (const char* option : {"--help", "-h"}) {
            QProcess process;
            process.start(bin + "/" + program, {option});
            ASSERT_TRUE(process.waitForFinished(10000)) << program;
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << program;
            EXPECT_EQ(process.exitCode(), 0) << program << " " << option;
            EXPECT_TRUE(QString::fromUtf8(process.readAllStandardOutput()).contains("sage"))
                << program << " prints its usage on standard output";
        }
    }
}
