#pragma once

// The worker's two private messages to the progress window. Neither carries
// data: everything the window shows lives in the shared step list.

// wParam: the index of the step that has just changed. The window repaints every line.
constexpr unsigned WM_PROGRESS_UPDATE = 0x0400 + 1; // WM_USER + 1
// The worker is finished: the window goes, and with it the message loop.
constexpr unsigned WM_PROGRESS_CLOSE = 0x0400 + 2; // WM_USER + 2
