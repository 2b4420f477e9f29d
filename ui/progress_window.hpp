#pragma once

// Windows: the small always-on-top window that shows the four steps while
// discovery runs. Closing it cancels the launch.

#include "ui/progress_steps.hpp"

#include <atomic>

#include <windows.h>

struct ProgressFonts {
    HFONT title_font = nullptr;
    HFONT step_font = nullptr;
    HFONT detail_font = nullptr;
};

// The heading, step and detail fonts. A font that cannot be created stays null
// and the system font draws in its place.
ProgressFonts CreateProgressFonts();
// Deletes each font that exists, once no window uses them any more.
void DeleteProgressFonts(const ProgressFonts& fonts);

// What the window paints and where it records that the user closed it. All of
// it must outlive the window.
struct ProgressWindowSources {
    GuardedProgressSteps* progress_steps = nullptr;
    std::atomic<bool>* cancelled = nullptr;
    ProgressFonts fonts;
};

// The window, not yet shown, centred on the primary screen; null when it cannot
// be created. There is one progress window at a time: a new one takes over the
// sources. Its destruction posts the quit message that ends the message loop.
HWND CreateProgressDialog(HINSTANCE instance, const ProgressWindowSources& sources);
