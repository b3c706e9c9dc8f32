#include "app/command_line.h"

#include <gtest/gtest.h>

using korvane::RunMode;

namespace {

struct ModeCase {
    const char* name;
    std::vector<std::string> args;
    RunMode mode;
    const char* batch;
};

class ChooseRunModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ChooseRunModeTest, FirstArgumentDecides) {
    const ModeCase& c = GetParam();
    const auto choice = korvane::ChooseRunMode(c.args);
    EXPECT_EQ(choice.mode, c.mode);
    EXPECT_EQ(choice.batchName, c.batch);
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
        ModeCase{
            "batchWithBlanks", {"Monday morning", "x"}, RunMode::DirectLaunch, "Monday morning"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
