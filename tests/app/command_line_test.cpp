#include "app/command_line.h"
#include "app/error_text.h"

#include <gtest/gtest.h>

using korvane::RunMode;

namespace {

struct ModeCase {
    const char* name;
    std::vector<std::string> args;
    RunMode mode;
    const char* batch;
    bool verbose = false;
};

class ChooseRunModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ChooseRunModeTest, FirstArgumentDecides) {
    const ModeCase& c = GetParam();
    const auto choice = korvane::ChooseRunMode(c.args);
    EXPECT_EQ(choice.mode, c.mode);
    EXPECT_EQ(choice.batchName, c.batch);
    EXPECT_EQ(choice.verbose, c.verbose);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChooseRunModeTest,
    ::testing::Values(
        ModeCase{"none", {}, RunMode::Editor, ""},
        ModeCase{"emptyIsNone", {""}, RunMode::Editor, ""},
        ModeCase{"startup", {"-startup"}, RunMode::StartupMenu, ""},
        ModeCase{"emptyThenStartup", {"", "-startup"}, RunMode::StartupMenu, ""},
        ModeCase{"startupThenBatch", {"-startup", "Work"}, RunMode::StartupMenu, ""},
        ModeCase{"capitalisedIsABatch", {"-Startup"}, RunMode::DirectLaunch, "-Startup"},
        ModeCase{"slashIsABatch", {"/startup"}, RunMode::DirectLaunch, "/startup"},
        ModeCase{"batchWithBlanks", {"Monday morning", ""}, RunMode::DirectLaunch,
                 "Monday morning"},
        // One run launches one batch: a second name would go unnoticed.
        ModeCase{"secondBatchIsAMistake", {"Monday morning", "x"}, RunMode::Usage,
                 "Monday morning"},
        ModeCase{"secondAfterDashes", {"--", "A", "B"}, RunMode::Usage, "A"},
        ModeCase{"verboseBatch", {"--verbose", "Work"}, RunMode::DirectLaunch, "Work", true},
        ModeCase{"verboseAlone", {"--verbose"}, RunMode::Editor, "", true},
        ModeCase{"verboseAfterIsAMistake", {"Work", "--verbose"}, RunMode::Usage, "Work"},
        ModeCase{"dashesThenStartup", {"--", "-startup"}, RunMode::DirectLaunch, "-startup"},
        ModeCase{"dashesThenVerbose",
                 {"--verbose", "--", "--verbose"},
                 RunMode::DirectLaunch,
                 "--verbose",
                 true},
        ModeCase{"dashesTwice", {"--", "--"}, RunMode::DirectLaunch, "--"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

TEST(ErrorTextTest, EveryReportEndsAsASentence) {
    const struct {
        const char* name;
        const char* message;
        const char* shown;
    } rows[] = {
        {"plain", "Cannot open the file", "Cannot open the file."},
        {"hasItsStop", "Cannot open the file.", "Cannot open the file."},
        {"endsInANumber", "Error 5", "Error 5."},
        {"quotedName", "There is already a batch named \"Work\"",
         "There is already a batch named \"Work\"."},
        {"quotedSentence", "It said \"Stop.\"", "It said \"Stop.\""},
        {"bracket", "Not found (error 2)", "Not found (error 2)."},
        {"lonelyQuote", "\"", "\""},
        {"empty", "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(korvane::WithFullStop(row.message), row.shown) << row.name;
    }
}
