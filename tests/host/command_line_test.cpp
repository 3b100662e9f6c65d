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

    // Short forms, the output format, "-" as a file and "--" ending the options.
    ASSERT_TRUE(ParseCommandLine({"render", "-", "-t", "flac", "-b", "24", "-q", "-v", "--no-dither",
                                  "--no-latency-compensation", "--mix-to-mono", "-e", "signed", "--", "-odd.wav"},
                                 line, error))
        << error;
    EXPECT_EQ(line.files, (Args{"-", "-odd.wav"}));
    EXPECT_EQ(line.type, "flac");
    EXPECT_EQ(line.bits, 24);
    EXPECT_EQ(line.sampleKind, CommandLine::SampleKind::kInteger);
    EXPECT_TRUE(line.quiet && line.verbose && line.mixToMono);
    EXPECT_FALSE(line.dither || line.latencyCompensation);
    ASSERT_TRUE(ParseCommandLine({"render", "a.wav", "b.wav", "--float", "--bits=64"}, line, error)) << error;
    EXPECT_EQ(line.sampleKind, CommandLine::SampleKind::kFloat);
    EXPECT_EQ(line.bits, 64);

    // "COMMAND --help" asks for that command's help, whatever else is there.
    for (const Args& args : {Args{"render", "--help"}, Args{"render", "a.wav", "-h"}, Args{"help", "render"}}) {
        ASSERT_TRUE(ParseCommandLine(args, line, error)) << error;
        EXPECT_EQ(line.command, CommandLine::Command::kHelp);
        EXPECT_EQ(line.helpTopic, "render");
    }
    ASSERT_TRUE(ParseCommandLine({"--version", "--plugin", "p.so"}, line, error)) << error;
    EXPECT_EQ(line.command, CommandLine::Command::kVersion);
    EXPECT_EQ(line.pluginPath, "p.so");
}

TEST(CommandLine, RejectsMalformedInvocationsWithTheReason) {
    const struct {
        Args args;
        const char* message;
    } cases[] = {
        {{}, "no command"},
        {{"play", "a.wav"}, "unknown command"},
        {{"render", "a.wav"}, "IN and OUT"},
        {{"render", "a.wav", "b.wav", "c.wav"}, "too many arguments for render: c.wav"},
        {{"render", "a.wav", "b.wav", "--", "--set", "x=1"}, "too many arguments for render: --set x=1 (after \"--\""},
        {{"state", "save", "a", "b"}, "too many arguments for state"},
        {{"render", "a.wav", "b.wav", "--block", "0"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block", "-5"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block", "12x"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block", "99999999999"}, "--block"},
        {{"render", "a.wav", "b.wav", "--block"}, "needs a value"},
        {{"render", "a.wav", "b.wav", "--set"}, "needs a value"},
        {{"render", "a.wav", "b.wav", "--double=yes"}, "takes no value"},
        {{"render", "a.wav", "b.wav", "--gain", "3"}, "unknown option --gain"},
        {{"info", "--block", "64"}, "unknown option --block"},
        {{"info", "--double"}, "unknown option --double"},
        {{"info", "extra"}, "no file names"},
        {{"state", "load", "s.bin"}, "state save"},
        {{"state"}, "state save"},
        {{"state", "save"}, "one FILE"},
        {{"state", "save", "s.bin", "--block", "64"}, "unknown option --block"},
        {{"render", "a.wav", "b.wav", "-x"}, "unknown option -x for render"},
        {{"info", "-q"}, "unknown option -q for info"},
        {{"render", "a.wav", "b.wav", "--bits", "20"}, "--bits expects 8, 16, 24, 32 or 64"},
        {{"render", "a.wav", "b.wav", "-e", "unsigned"}, "--encoding expects signed or float"},
        {{"render", "a.wav", "b.wav", "--float", "-b", "16"}, "float output has 32 or 64 bits"},
        {{"render", "a.wav", "b.wav", "-e", "signed", "-b", "64"}, "integer output has at most 32 bits"},
        {{"render", "a.wav", "b.wav", "--state", "s", "--chunk", "c"}, "give one"},
        {{"render", "a.wav", "b.wav", "-t"}, "needs a value"},
    };
    for (const auto& c : cases) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(ParseCommandLine(c.args, line, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    }
}

}  // namespace
