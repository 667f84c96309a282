#include <gtest/gtest.h>

#include "app/CommandLine.h"

using norvale::app::CommandLine;
using norvale::app::ParseCommandLine;

namespace {

CommandLine Ok(std::vector<std::string> args) {
    auto parsed = ParseCommandLine(args);
    EXPECT_TRUE(parsed.commandLine.has_value()) << parsed.error;
    return parsed.commandLine.value_or(CommandLine{});
}

std::string Error(std::vector<std::string> args) {
    auto parsed = ParseCommandLine(args);
    EXPECT_FALSE(parsed.commandLine.has_value());
    return parsed.error;
}

}  // namespace

TEST(CommandLine, NoArgumentsOpensTheWindow) {
    EXPECT_EQ(Ok({}).mode, CommandLine::Mode::Window);
    EXPECT_TRUE(Ok({"--demo"}).demo);
}

TEST(CommandLine, ListTakesItsOptionsInBothForms) {
    auto line = Ok({"--demo", "--list", "--json", "--timeout", "2.5", "--all",
                    "--interface=127.0.0.1", "--interface", "10.0.0.7"});
    EXPECT_EQ(line.mode, CommandLine::Mode::List);
    EXPECT_TRUE(line.json && line.all && line.demo);
    EXPECT_DOUBLE_EQ(*line.timeoutSeconds, 2.5);
    EXPECT_EQ(line.interfaces, (std::vector<std::string>{"127.0.0.1", "10.0.0.7"}));
}

TEST(CommandLine, SetLedNeedsADevice) {
    auto line = Ok({"--set-led", "on", "--device", "nas-1"});
    EXPECT_EQ(line.mode, CommandLine::Mode::SetLed);
    EXPECT_TRUE(line.ledOn);
    EXPECT_FALSE(Ok({"--set-led=off", "--device=127.0.0.2"}).ledOn);
    EXPECT_EQ(Error({"--set-led", "on"}), "--set-led needs --device NAME|IP");
    EXPECT_EQ(Error({"--set-led", "blink", "--device", "x"}),
              "--set-led takes on or off, not \"blink\"");
}

TEST(CommandLine, BadUsageNamesTheProblem) {
    EXPECT_EQ(Error({"--frobnicate"}), "unknown option --frobnicate");
    EXPECT_EQ(Error({"--list", "--timeout"}), "option --timeout needs a value");
    EXPECT_EQ(Error({"--list", "--timeout", "-1"}),
              "--timeout needs a positive number of seconds, not \"-1\"");
    EXPECT_EQ(Error({"--list", "--timeout", "3s"}),
              "--timeout needs a positive number of seconds, not \"3s\"");
    EXPECT_EQ(Error({"--list", "--interface", "eth0"}),
              "--interface needs a dotted IPv4 address, not \"eth0\"");
    EXPECT_EQ(Error({"--list", "--watch"}),
              "option --watch cannot be combined with another action");
    EXPECT_EQ(Error({"--watch", "--json"}), "--json goes with --list");
    EXPECT_EQ(Error({"--list=yes"}), "option --list takes no value");
    EXPECT_EQ(Error({"--all"}), "--all goes with --list or --watch");
}
