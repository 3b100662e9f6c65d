// Parsing of velmor-host's command line.
#include <gtest/gtest.h>

#include "tools/velmor-host/command_line.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, ParsesEveryCommandWithOptionsInAnyPosition) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"render", "--set", "Pres Comp=18", "in.wav", "--block=64", "out.flac", "--double",
                                  "--plugin", "p.so", "--state", "s.bin", "--set=Mode=B"},
                                 line, error))
        << error;
    EXPECT_EQ(line.command, CommandLine::Command::kRender);
    EXPECT_EQ(line.files, (Args{"in.wav", "out.flac"}));
    EXPECT_EQ(line.settings, (Args{"Pres Comp=18", "Mode=B"}));
    EXPECT_EQ(line.blockSize, 64);
    EXPECT_TRUE(line.doublePrecision);
    EXPECT_EQ(line.pluginPath, "p.so");
    EXPECT_EQ(line.statePath, "s.bin");

    ASSERT_TRUE(ParseCommandLine({"render", "a.wav", "b.wav"}, line, error)) << error;
    EXPECT_EQ(line.blockSize, 512);
    EXPECT_FALSE(line.doublePrecision);
    EXPECT_TRUE(line.pluginPath.empty());

    ASSERT_TRUE(ParseCommandLine({"info", "--plugin=x.dll"}, line, error)) << error;
    EXPECT_EQ(line.command, CommandLine::Command::kInfo);
    EXPECT_EQ(line.pluginPath, "x.dll");

    ASSERT_TRUE(ParseCommandLine({"state", "save", "s.bin", "--set", "Power=off"}, line, error)) << error;
    EXPECT_EQ(line.command, CommandLine::Command::kStateSave);
    EXPECT_EQ(line.files, (Args{"s.bin"}));

    ASSERT_TRUE(ParseCommandLine({"--help"}, line, error));
    EXPECT_EQ(line.command, CommandLine::Command::kHelp);
}

TEST(CommandLine, RejectsMalformedInvocationsWithTheReason) {
    const struct {
        Args args;
        const char* message;
    } cases[] = {
        {{}, "no command"},
        {{"play", "a.wav"}, "unknown command"},
        {{"render", "a.wav"}, "IN and OUT"},
        {{"render", "a.wav", "b.wav", "c.wav"}, "IN and OUT"},
        {{"render", "a.wav", "b.wav", "--block", "0"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block", "-5"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block", "12x"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block", "99999999999"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block"}, "needs a value"},
        {{"render", "a.wav", "b.wav", "--set"}, "needs a value"},
        {{"render", "a.wav", "b.wav", "--double=yes"}, "takes no value"},
        {{"render", "a.wav", "b.wav", "--gain", "3"}, "unknown option --gain"},
        {{"info", "--set", "Mode=B"}, "unknown option --set"},
        {{"info", "--double"}, "unknown option --double"},
        {{"info", "extra"}, "no file names"},
        {{"state", "load", "s.bin"}, "state save"},
        {{"state"}, "state save"},
        {{"state", "save"}, "one FILE"},
        {{"state", "save", "s.bin", "--block", "64"}, "unknown option --block"},
    };
    for (const auto& c : cases) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(ParseCommandLine(c.args, line, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    }
}

}  // namespace
