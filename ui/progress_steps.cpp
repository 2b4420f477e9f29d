#include "ui/progress_steps.hpp"

void install_progress_steps(GuardedProgressSteps& progress_steps)
{
    const std::lock_guard<std::mutex> lock(progress_steps.guard);
    progress_steps.steps.clear();
    for (const wchar_t* label : {L"Loading persona overlay", L"Discovering proxy egress IP",
                                 L"Applying anti-detect overrides", L"Launching chrome.exe"}) {
        progress_steps.steps.push_back(ProgressStep{label, {}, false, false});
    }
}

void change_progress_step(GuardedProgressSteps& progress_steps, std::size_t index, const std::wstring& detail,
                          bool done, bool failed)
{
    const std::lock_guard<std::mutex> lock(progress_steps.guard);
    if (index >= progress_steps.steps.size()) return;
    ProgressStep& step = progress_steps.steps[index];
    step.detail = detail;
    step.done = done;
    step.failed = failed;
}

std::vector<ProgressStep> copy_progress_steps(GuardedProgressSteps& progress_steps)
{
    const std::lock_guard<std::mutex> lock(progress_steps.guard);
    return progress_steps.steps;
}
