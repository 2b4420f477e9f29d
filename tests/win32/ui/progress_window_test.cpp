// The progress window as the launcher creates it, on a real display (Xvfb).

#include "ui/progress_look.hpp"
#include "ui/progress_messages.hpp"
#include "ui/progress_window.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

namespace {

struct TestWindow {
    GuardedProgressSteps progress_steps;
    std::atomic<bool> cancelled{false};
    ProgressFonts fonts;
    HWND window = nullptr;

    TestWindow()
    {
        install_progress_steps(progress_steps);
        fonts = CreateProgressFonts();
        window = CreateProgressDialog(GetModuleHandleW(nullptr), {&progress_steps, &cancelled, fonts});
    }
    ~TestWindow()
    {
        if (IsWindow(window)) DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        DeleteProgressFonts(fonts);
    }
    void show()
    {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
};

// Runs the message loop for at most `timeout_ms`, or until the quit message
// that the window's destruction posts; that message's exit code, or -1.
int pump(DWORD timeout_ms)
{
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    MSG message;
    while (GetTickCount64() < deadline) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return -1;
}

std::wstring text_of(HWND window)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

// How many pixels of exactly `colour` the client area shows inside the box.
int pixels_of(HWND window, Rgb colour, RECT box)
{
    const HDC dc = GetDC(window);
    int count = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (GetPixel(dc, x, y) == RGB(colour.red, colour.green, colour.blue)) ++count;
    ReleaseDC(window, dc);
    return count;
}

RECT marker_box(int row)
{
    const int top = 72 + 22 * row;
    return {18, top, 38, top + 20};
}

RECT right_half(int row)
{
    const int top = 72 + 22 * row;
    return {300, top, 444, top + 20};
}

TEST(ProgressWindow, IsCreatedHiddenCentredAndOnTopWithACloseBoxOnly)
{
    TestWindow test;
    ASSERT_NE(test.window, nullptr);

    wchar_t class_name[64] = {};
    GetClassNameW(test.window, class_name, 64);
    EXPECT_STREQ(class_name, L"OrvalisBrowserLauncher");
    EXPECT_EQ(GetClassLongPtrW(test.window, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetClassLongPtrW(test.window, GCLP_HBRBACKGROUND), 0u);
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrW(test.window, GCLP_HICON)), LoadIconW(nullptr, IDI_APPLICATION));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(test.window, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(text_of(test.window), L"Preparing Orvalis Browser\u2026");

    const LONG style = GetWindowLongW(test.window, GWL_STYLE);
    const LONG examined = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE |
                          WS_POPUP | WS_CHILD;
    EXPECT_EQ(style & examined, WS_CAPTION | WS_SYSMENU);
    const LONG ex_style = GetWindowLongW(test.window, GWL_EXSTYLE);
    EXPECT_EQ(ex_style & (WS_EX_DLGMODALFRAME | WS_EX_TOPMOST), WS_EX_DLGMODALFRAME | WS_EX_TOPMOST);
    EXPECT_EQ(GetParent(test.window), nullptr);

    RECT outer{};
    GetWindowRect(test.window, &outer);
    EXPECT_EQ(outer.right - outer.left, 460);
    EXPECT_EQ(outer.bottom - outer.top, 240);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 460) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 240) / 2);
}

// The user's close cancels the launch; the worker's does not. Either ends the message loop.
TEST(ProgressWindow, CloseEndsTheMessageLoopAndOnlyTheUsersCancels)
{
    for (const auto& [close, cancels] : {std::pair{UINT{WM_CLOSE}, true}, std::pair{UINT{WM_PROGRESS_CLOSE}, false}}) {
        TestWindow test;
        ASSERT_NE(test.window, nullptr);
        test.show();
        PostMessageW(test.window, close, 0, 0);
        EXPECT_EQ(pump(5000), 0);
        EXPECT_FALSE(IsWindow(test.window));
        EXPECT_EQ(test.cancelled.load(), cancels) << close;
    }
}

TEST(ProgressWindow, PaintsEachLineInTheColoursOfItsState)
{
    TestWindow test;
    ASSERT_NE(test.window, nullptr);
    change_progress_step(test.progress_steps, 0, L"socks5://127.0.0.1:1080", true, false);
    change_progress_step(test.progress_steps, 1, L"BLOCKED: PROXY_TIMEOUT", true, true);
    test.show();
    pump(200);

    RECT client{};
    GetClientRect(test.window, &client);
    EXPECT_EQ(pixels_of(test.window, progress_background, {0, 0, 4, 4}), 16);
    EXPECT_EQ(pixels_of(test.window, progress_background, {client.right - 4, client.bottom - 4, client.right,
                                                           client.bottom}),
              16);
    EXPECT_GT(pixels_of(test.window, progress_primary_text, {16, 14, 200, 40}), 0) << "heading";
    EXPECT_GT(pixels_of(test.window, progress_secondary_text, {16, 40, 200, 58}), 0) << "subtitle";

    EXPECT_GT(pixels_of(test.window, progress_green, marker_box(0)), 0);
    EXPECT_GT(pixels_of(test.window, progress_secondary_text, right_half(0)), 0) << "detail of a finished step";
    EXPECT_GT(pixels_of(test.window, progress_red, marker_box(1)), 0);
    EXPECT_GT(pixels_of(test.window, progress_red, right_half(1)), 0) << "detail of a failed step";
    EXPECT_EQ(pixels_of(test.window, progress_secondary_text, right_half(1)), 0);
    for (int row : {2, 3}) {
        EXPECT_GT(pixels_of(test.window, progress_amber, marker_box(row)), 0);
        EXPECT_EQ(pixels_of(test.window, progress_red, marker_box(row)), 0);
        EXPECT_EQ(pixels_of(test.window, progress_green, marker_box(row)), 0);
        // Nothing drawn on the right of a line without a detail.
        EXPECT_EQ(pixels_of(test.window, progress_background, right_half(row)), 144 * 20);
    }

    // Any step's update repaints every line.
    change_progress_step(test.progress_steps, 2, L"none (passthrough)", true, false);
    PostMessageW(test.window, WM_PROGRESS_UPDATE, 3, 0);
    pump(200);
    EXPECT_GT(pixels_of(test.window, progress_green, marker_box(2)), 0);
    EXPECT_GT(pixels_of(test.window, progress_secondary_text, right_half(2)), 0);
}

} // namespace
