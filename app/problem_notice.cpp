#include "app/problem_notice.h"

#include "shell/shell.h"
#include "store/utf8.h"

namespace korvane {

namespace {

// How long the notice's own process waits for a click; a service that keeps
// notices in a list may be read much later, but a process should not linger.
constexpr int kWaitForClickSeconds = 30 * 60;

} // namespace

ProblemNotice MakeProblemNotice(std::string_view batch, const RunSummary& run) {
    ProblemNotice notice;
    const int applications = run.started + run.failed + run.notFound;
    notice.summary = std::string(batch) + ": " + std::to_string(run.started) + " of " +
                     std::to_string(applications) + " started";
    if (run.batchGone) {
        notice.body = "The batch was renamed or deleted while it ran";
    }
    for (const ItemRecord& item : run.problems) {
        if (!notice.body.empty()) {
            notice.body += "\n";
        }
        notice.body +=
            item.name + (item.outcome == ItemOutcome::NotFound ? " not found"
                                                               : " did not start: " + item.detail);
    }
    return notice;
}

void NoticeProblems(const ProgramFiles& files, std::string_view batch, const RunSummary& run) {
    if (run.AllStarted()) {
        return;
    }
    try {
        if (!files.settings.ReadFlag(kSettingsSection, kNotifyKey, true)) {
            return;
        }
        const ProblemNotice notice = MakeProblemNotice(batch, run);
        (void)shell::StartDetached(files.executable, {std::string(kNoticeArgument), notice.summary,
                                                      notice.body, utf8::FromPath(run.report)});
    } catch (const std::exception&) {
        // Settings that cannot be read: the run is over and the report tells.
    }
}

bool ShowProblemNotice(const std::string& summary, const std::string& body,
                       const std::string& reportFile) {
    return shell::ShowNotification(summary, body, utf8::ToPath(reportFile), kWaitForClickSeconds);
}

} // namespace korvane
