// Discovery on networks that lose datagrams, change addresses, answer in
// bursts and have name servers that never answer: norvale-discovery against
// the NAS simulator, each case in a namespace of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

// Copies of each search (the SSDP client's schedule): a device told to
// ignore this many searches misses all copies of the first search.
constexpr int kCopies = 6;

// Runs `script` with sh inside a fresh namespace. The script finds the
// programs in $BIN and its files in $DIR; it may start nas-sim (which ends
// when the script kills $SIM) with
// `start_sim SCENARIO [options]` (its log is $DIR/sim.log), wait for a
// file to hold a pattern with `wait_for PATTERN FILE [SECONDS]`, wait for a
// shell condition with `wait_until 'CONDITION' [SECONDS]`, and count the
// lines of a file (0 while it does not exist yet) with `count PATTERN FILE`.
QString RunScript(const QTemporaryDir& dir, const QString& script, int timeoutMs = 90000) {
    const QString helpers = QStringLiteral(
        "BIN=%1; DIR=%2;"
        " start_sim() { s=$1; shift; $BIN/nas-sim --scenario $s --log $DIR/sim.log"
        " \"$@\" < /dev/null > $DIR/sim.out 2>/dev/null & SIM=$!;"
        " wait_for '^ready' $DIR/sim.out 10; };"
        " wait_for() { n=$(( ${3:-10} * 20 )); while [ $n -gt 0 ]; do"
        " grep -q -- \"$1\" \"$2\" 2>/dev/null && return 0; sleep 0.05; n=$((n-1)); done;"
        " echo \"timeout waiting for $1\"; return 1; };"
        " wait_until() { n=$(( ${2:-10} * 20 )); while [ $n -gt 0 ]; do"
        " eval \"$1\" && return 0; sleep 0.05; n=$((n-1)); done;"
        " echo \"timeout waiting until $1\"; return 1; };"
        " count() { cat \"$2\" 2>/dev/null | grep -c -- \"$1\"; };"
        " now_ms() { echo $(( $(date +%s%N) / 1000000 )); };\n");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(Env("NORVALE_NETNS_RUN"),
                  {"sh", "-c", helpers.arg(Env("NORVALE_BIN_DIR"), dir.path()) + script});
    process.waitForFinished(timeoutMs);
    return QString::fromUtf8(process.readAll());
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}

QString ReadFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

// The value after `key ` on its line of `text`, or -1.
int Number(const QString& text, const QString& key) {
    for (const QString& line : text.split('\n')) {
        if (line.startsWith(key + ' ')) return line.mid(key.size() + 1).trimmed().toInt();
    }
    return -1;
}

QStringList Events(const QString& path, const QString& kind) {
    QStringList names;
    for (const QString& line : ReadFile(path).split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject event = QJsonDocument::fromJson(line.toUtf8()).object();
        if (event["event"].toString() == kind) names << event["name"].toString();
    }
    return names;
}

}  // namespace

TEST(RepeatedSearch, AMissedSearchStillListsTheDeviceAndRepeatedAnswersFetchOnce) {
    QTemporaryDir dir;
    const QString scenario = WriteFile(dir, "scenario.json", R"({"devices": [
        {"name": "deaf", "friendlyName": "Deaf", "modelNumber": "QMA5KS0100",
         "ssdp": {"ignoreSearches": 1, "announceAtStart": false}},
        {"name": "eager", "friendlyName": "Eager", "modelNumber": "QMA5KS0200",
         "ssdp": {"announceAtStart": false}}]})");
    const QString out = RunScript(dir, QStringLiteral("start_sim %1 || exit 1;"
                                                      " $BIN/norvale-discovery --list --json"
                                                      " --interface 127.0.0.1 > $DIR/list.json;"
                                                      " kill $SIM; wait $SIM")
                                           .arg(scenario));
    QStringList names;
    for (const QJsonValue& row :
         QJsonDocument::fromJson(ReadFile(dir.filePath("list.json")).toUtf8()).array()) {
        names << row.toObject()["name"].toString();
    }
    EXPECT_EQ(names, QStringList({"Deaf", "Eager"})) << out.toStdString();
    const QString log = ReadFile(dir.filePath("sim.log"));
    EXPECT_EQ(log.count("ssdp ignored deaf"), 1);
    EXPECT_EQ(log.count("ssdp response eager"), kCopies) << "every copy is answered";
    EXPECT_EQ(log.count("http eager GET /description.xml"), 1) << log.toStdString();
    EXPECT_EQ(log.count("http deaf GET /description.xml"), 1);
}

TEST(RepeatedSearch, SighupSearchesAgainInWatchWithoutClearingTheList) {
    QTemporaryDir dir;
    const QString scenario = WriteFile(dir, "scenario.json", R"({"devices": [
        {"name": "early", "friendlyName": "Early", "modelNumber": "QMA5KS0100",
         "ssdp": {"announceAtStart": false}},
        {"name": "late", "friendlyName": "Late", "modelNumber": "QMA5KS0200",
         "ssdp": {"ignoreSearches": 6, "announceAtStart": false}}]})");
    const QString out = RunScript(
        dir, QStringLiteral("start_sim %1 || exit 1;"
                            " $BIN/norvale-discovery --watch --interface 127.0.0.1 > $DIR/watch &"
                            " pid=$!; wait_for 'Early' $DIR/watch;"
                            " n=60; while [ $(grep -c 'ignored late' $DIR/sim.log) -lt 6 ] &&"
                            " [ $n -gt 0 ]; do sleep 0.05; n=$((n-1)); done; sleep 0.3;"
                            " grep -q Late $DIR/watch && echo 'listed before the signal';"
                            " kill -HUP $pid; wait_for 'Late' $DIR/watch 5;"
                            " kill -TERM $pid; wait $pid; echo exit $?; kill $SIM; wait $SIM")
                 .arg(scenario));
    EXPECT_FALSE(out.contains("listed before the signal")) << out.toStdString();
    EXPECT_EQ(Events(dir.filePath("watch"), "added"), QStringList({"Early", "Late"}))
        << out.toStdString();
    EXPECT_TRUE(Events(dir.filePath("watch"), "removed").isEmpty());
    EXPECT_EQ(Number(out, "exit"), 0);
}

TEST(NetworkChanges, AnAddressThatAppearsIsSearchedAtOnceAndItsSocketsCloseWhenItGoes) {
    QTemporaryDir dir;
    // The device stays silent for the copies of the first search (on
    // loopback only), so only the search from the new address can find it.
    const QString scenario = WriteFile(dir, "scenario.json", R"({"devices": [
        {"name": "roamer", "friendlyName": "Roamer", "modelNumber": "QMA5KS0100",
         "ssdp": {"ignoreSearches": 6, "announceAtStart": false}}]})");
    const QString out = RunScript(
        dir,
        QStringLiteral(
            "ip link add nvA type veth peer name nvB && ip link set nvA up && ip link set nvB up"
            " || { echo 'no veth'; exit 0; };"
            " start_sim %1 || exit 1;"
            " $BIN/norvale-discovery --watch --interface 10.78.0.1 > $DIR/watch & pid=$!;"
            " wait_until '[ $(count \"ignored roamer\" $DIR/sim.log) -ge 6 ]' 5;"
            " t0=$(now_ms); ip addr add 10.78.0.1/24 dev nvA;"
            " wait_for 'ssdp search .* from 10.78.0.1:' $DIR/sim.log 5 &&"
            " echo search-after-ms $(( $(now_ms) - t0 ));"
            " wait_for 'Roamer' $DIR/watch 10;"
            // No HTTP connection is open any more (the last one ends after
            // its idle time): no socket connecting, established or closing.
            " wait_until '[ $(awk \"NR > 1 && \\$4 ~ /^0[128]\\$/\" /proc/net/tcp | wc -l) -eq 0 "
            "]';"
            " fds_present=$(ls /proc/$pid/fd | wc -l);"
            " echo bound-while-present $(grep -c ' 01004E0A:' /proc/net/udp);"
            " ip addr del 10.78.0.1/24 dev nvA;"
            " wait_until '[ $(grep -c \" 01004E0A:\" /proc/net/udp) -eq 0 ]' 5;"
            " echo bound-after-removal $(grep -c ' 01004E0A:' /proc/net/udp);"
            " wait_until '[ $(ls /proc/$pid/fd | wc -l) -le $((fds_present - 2)) ]' 5;"
            " echo descriptors-closed $(( fds_present - $(ls /proc/$pid/fd | wc -l) ));"
            " kill -TERM $pid; wait $pid; kill $SIM; wait $SIM")
            .arg(scenario));
    if (out.contains("no veth")) GTEST_SKIP() << "no veth pair can be made here";
    const int searchAfter = Number(out, "search-after-ms");
    EXPECT_GE(searchAfter, 0) << out.toStdString();
    EXPECT_LT(searchAfter, 1000);
    EXPECT_EQ(Events(dir.filePath("watch"), "added"), QStringList({"Roamer"})) << out.toStdString();
    // One search socket per control point, closed with the address.
    EXPECT_EQ(Number(out, "bound-while-present"), 2);
    EXPECT_EQ(Number(out, "bound-after-removal"), 0) << out.toStdString();
    EXPECT_EQ(Number(out, "descriptors-closed"), 2) << out.toStdString();
}

TEST(Bursts, FiveHundredDevicesAnsweringOneSearchWithinTenMillisecondsAreAllListed) {
    QTemporaryDir dir;
    QJsonArray devices;
    for (int i = 1; i <= 500; ++i) {
        const QString name = QStringLiteral("burst-%1").arg(i, 3, 10, QLatin1Char('0'));
        devices.append(QJsonObject{{"name", name}, {"modelNumber", "QMA5KS2000"}});
    }
    // Each device answers the first search only, all within 10 ms.
    const QJsonObject document{
        {"udpPacePerMs", 50},
        {"defaults",
         QJsonObject{{"ssdp", QJsonObject{{"answerLimit", 1}, {"announceAtStart", false}}}}},
        {"devices", devices}};
    const QString scenario =
        WriteFile(dir, "scenario.json", QJsonDocument(document).toJson(QJsonDocument::Compact));
    // Watched until every device is in (a slow sanitizer build takes long
    // for 500 descriptions); what counts is that none is missing. The watch
    // file exists before the loop first reads it.
    const QString out = RunScript(
        dir,
        QStringLiteral("start_sim %1 || exit 1; : > $DIR/watch;"
                       " $BIN/norvale-discovery --watch --interface 127.0.0.1 >> $DIR/watch &"
                       " pid=$!; wait_until '[ $(count \"\\\"added\\\"\" $DIR/watch) -ge 500 ]' 60;"
                       " kill -TERM $pid; wait $pid; kill $SIM; wait $SIM")
            .arg(scenario));
    EXPECT_EQ(Events(dir.filePath("watch"), "added").size(), 500) << out.toStdString();
    EXPECT_EQ(ReadFile(dir.filePath("sim.log")).count("ssdp response"), 500);
}

TEST(NameLookups, ANameServerThatNeverAnswersDelaysNeitherTheListNorTheEnd) {
    QTemporaryDir dir;
    // Queries go to a socket that never reads them; each would hang 30 s.
    WriteFile(dir, "resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
    const QString out = RunScript(
        dir, QStringLiteral(
                 "mount --bind $DIR/resolv.conf /etc/resolv.conf || { echo 'no mount'; exit 0; };"
                 " python3 -c 'import socket, time; s = socket.socket(socket.AF_INET,"
                 " socket.SOCK_DGRAM); s.bind((\"127.0.0.1\", 53)); print(\"bound\", flush=True); "
                 "time.sleep(120)'"
                 " > $DIR/dns.out & dns=$!; wait_for bound $DIR/dns.out 20 || exit 1; $BIN/nas-sim "
                 "--generate 20 < /dev/null"
                 " > $DIR/sim.out 2>/dev/null & SIM=$!; wait_for '^ready' $DIR/sim.out;"
                 " t0=$(now_ms); $BIN/norvale-discovery --watch --timeout 3"
                 " --interface 127.0.0.1 > $DIR/watch; echo exit $?;"
                 " echo run-ms $(( $(now_ms) - t0 )); kill $SIM $dns; wait"));
    if (out.contains("no mount")) GTEST_SKIP() << "cannot bind a resolver configuration here";
    EXPECT_EQ(Events(dir.filePath("watch"), "added").size(), 20) << out.toStdString();
    EXPECT_TRUE(Events(dir.filePath("watch"), "mapName").isEmpty());
    EXPECT_EQ(Number(out, "exit"), 0);
    // Three seconds of watching, then the end at once: no lookup (30 s each) is
    // waited for.
    EXPECT_LT(Number(out, "run-ms"), 6000) << out.toStdString();
}
