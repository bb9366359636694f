// velor-cli's argument parser: options, flags and values as the commands receive them.

#include <gtest/gtest.h>

#include "tools/velor-cli/Args.h"

namespace velor::cli {
namespace {

const OptionSet kKnown{{"--pcap", "--to"}, {"--verbose"}};

std::string problemOf(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    std::string problem;
    EXPECT_FALSE(parseArgs(args, kKnown, parsed, problem));
    return problem;
}

TEST(CliArgs, ValuesFlagsAndPositionalsAreTakenApart) {
    ParsedArgs parsed;
    std::string problem;
    ASSERT_TRUE(parseArgs({"file", "--pcap", "a.pcap", "--verbose", "--to", "-1", "x"}, kKnown,
                          parsed, problem))
        << problem;
    EXPECT_EQ(parsed.positional, (std::vector<std::string>{"file", "x"}));
    EXPECT_EQ(parsed.value("--pcap"), "a.pcap");
    EXPECT_EQ(parsed.value("--to"), "-1");  // a negative number is a value, not an option
    EXPECT_TRUE(parsed.has("--verbose"));
}

TEST(CliArgs, AnOptionNeverSwallowsTheNextOneAndIsGivenOnce) {
    EXPECT_EQ(problemOf({"--pcap", "--verbose"}), "--pcap needs a value");
    EXPECT_EQ(problemOf({"--pcap"}), "--pcap needs a value");
    EXPECT_EQ(problemOf({"--to", "1", "--to", "2"}), "--to is given twice");
    EXPECT_EQ(problemOf({"--verbose", "--verbose"}), "--verbose is given twice");
    EXPECT_EQ(problemOf({"--bogus"}), "unknown option --bogus");
}

}  // namespace
}  // namespace velor::cli
