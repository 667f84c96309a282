// nas-sim: plays any number of UPnP NAS devices on loopback addresses for tests and demos.
//   nas-sim [--scenario FILE | --demo | --generate N [--services K]]
//           [--base-address 127.0.0.2] [--log FILE] [--udp-pace N] [--quit-on-eof]
//           [--drop-rate R] [--answer-spread MS]

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/nas-sim/DemoScenario.h"
#include "tools/nas-sim/Logger.h"
#include "tools/nas-sim/Scenario.h"
#include "tools/nas-sim/Simulator.h"

namespace {

struct Options {
    std::string scenarioFile;
    bool demo = false;
    int generate = -1;
    int services = 1;
    std::string baseAddress = "127.0.0.2";
    std::string logFile;
    int udpPace = -1;
    bool quitOnEof = false;
    double dropRate = -1;
    int answerSpreadMs = -1;
};

const char* const kUsage =
    "usage: nas-sim [--scenario FILE | --demo | --generate N [--services K]]\n"
    "               [--base-address ADDR] [--log FILE] [--udp-pace N] [--quit-on-eof]\n"
    "               [--drop-rate R] [--answer-spread MS]\n";

bool parseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--demo")
            o->demo = true;
        else if (arg == "--quit-on-eof")
            o->quitOnEof = true;
        else if (!hasValue)
            return false;
        else if (arg == "--scenario")
            o->scenarioFile = argv[++i];
        else if (arg == "--generate")
            o->generate = std::atoi(argv[++i]);
        else if (arg == "--services")
            o->services = std::atoi(argv[++i]);
        else if (arg == "--base-address")
            o->baseAddress = argv[++i];
        else if (arg == "--log")
            o->logFile = argv[++i];
        else if (arg == "--udp-pace")
            o->udpPace = std::atoi(argv[++i]);
        else if (arg == "--drop-rate")
            o->dropRate = std::atof(argv[++i]);
        else if (arg == "--answer-spread")
            o->answerSpreadMs = std::atoi(argv[++i]);
        else
            return false;
    }
    int sources = !o->scenarioFile.empty() + o->demo + (o->generate >= 0);
    return sources == 1 && o->services >= 0 && o->dropRate <= 1;
}

nassim::Scenario loadScenario(const Options& o) {
    if (o.generate >= 0) return nassim::generateScenario(o.generate, o.services);
    if (o.demo) return nassim::parseScenario(nlohmann::json::parse(nassim::demoScenarioJson()));
    std::ifstream in(o.scenarioFile);
    if (!in) throw std::runtime_error("cannot read " + o.scenarioFile);
    return nassim::parseScenario(nlohmann::json::parse(in));
}

// Hundreds of devices need two sockets each plus their connections.
void raiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int fail(const std::string& message) {
    std::fprintf(stderr, "nas-sim: %s\n", message.c_str());
    std::printf("error %s\n", message.c_str());
    std::fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    raiseFileLimit();
    nassim::Scenario scenario;
    try {
        scenario = loadScenario(options);
        if (options.udpPace >= 0) scenario.udpPacePerMs = options.udpPace;
        if (options.dropRate >= 0) scenario.searchDropRate = options.dropRate;
        if (options.answerSpreadMs >= 0) scenario.searchSpreadMs = options.answerSpreadMs;
        nassim::finishScenario(scenario, options.baseAddress);
    } catch (const std::exception& e) {
        return fail(std::string("scenario: ") + e.what());
    }
    nassim::Logger log(stderr);
    if (!options.logFile.empty() && !log.open(options.logFile))
        return fail("cannot open log " + options.logFile);
    nassim::Simulator simulator(std::move(scenario), options.baseAddress, log, stdout);
    std::string error;
    if (!simulator.start(&error)) return fail(error);
    simulator.run(options.quitOnEof);
    return 0;
}
