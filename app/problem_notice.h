#pragma once

#include "app/reported_run.h"

#include <string>
#include <string_view>

namespace korvane {

// The Options setting (section Basic): whether a run nobody watches tells
// of what did not start with a desktop notification. On unless switched off.
inline constexpr std::string_view kNotifyKey = "NotifyProblems";

struct ProblemNotice {
    std::string summary; // "Morning: 4 of 5 started"
    std::string body;    // "Mail not found"
};

ProblemNotice MakeProblemNotice(std::string_view batch, const RunSummary& run);

// After a run without a window of its own (the logon countdown, a desktop
// shortcut, a script): when an item was not found or did not start, and the
// user has not switched it off, one notification says so. It is shown by a
// process of its own, which waits for the click that opens the report, so
// that this one can end.
void NoticeProblems(const ProgramFiles& files, std::string_view batch, const RunSummary& run);

// What that process does; false when no notification could be shown.
bool ShowProblemNotice(const std::string& summary, const std::string& body,
                       const std::string& reportFile);

// The arguments that start it.
inline constexpr std::string_view kNoticeArgument = "--notify";

} // namespace korvane
