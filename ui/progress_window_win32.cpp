#include "ui/progress_window.hpp"

#include "ui/progress_look.hpp"
#include "ui/progress_messages.hpp"

static_assert(WM_PROGRESS_UPDATE == WM_USER + 1 && WM_PROGRESS_CLOSE == WM_USER + 2,
              "the worker's messages are private to the window class");

namespace {

constexpr wchar_t window_class[] = L"OrvalisBrowserLauncher";
constexpr int window_width = 460;
constexpr int window_height = 240;
constexpr int text_right = 444;
constexpr int first_row_top = 72;
constexpr int row_pitch = 22;
constexpr int row_height = 20;

// Set by CreateProgressDialog before the window exists; read only by the
// window procedure, on the thread that owns the window.
ProgressWindowSources sources;

HFONT create_font(int height, int weight)
{
    // A positive height is the cell height. The Swiss family lets a system
    // without Segoe UI fall back to a sans-serif face rather than a serif one.
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
}

void draw_text(HDC dc, HFONT font, Rgb colour, const wchar_t* text, RECT box, UINT format)
{
    SelectObject(dc, font);
    SetTextColor(dc, RGB(colour.red, colour.green, colour.blue));
    DrawTextW(dc, text, -1, &box, format);
}

void paint(HWND window)
{
    PAINTSTRUCT paint_info{};
    const HDC dc = BeginPaint(window, &paint_info);
    RECT client{};
    GetClientRect(window, &client);
    const HBRUSH background =
        CreateSolidBrush(RGB(progress_background.red, progress_background.green, progress_background.blue));
    FillRect(dc, &client, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    // Put back when done, so that the DC never goes back to the system with one of our fonts in it.
    const HGDIOBJ original_font = GetCurrentObject(dc, OBJ_FONT);

    const ProgressFonts& fonts = sources.fonts;
    draw_text(dc, fonts.title_font, progress_primary_text, L"Preparing Orvalis Browser", {16, 14, text_right, 40},
              DT_SINGLELINE);
    draw_text(dc, fonts.detail_font, progress_secondary_text, L"Auto-detecting persona settings\u2026",
              {16, 38, text_right, 58}, DT_SINGLELINE);

    const std::vector<ProgressStep> steps = copy_progress_steps(*sources.progress_steps);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ProgressStep& step = steps[i];
        const int top = first_row_top + row_pitch * static_cast<int>(i);
        const StepMarker marker = step_marker(step);
        const wchar_t marker_text[] = {marker.character, L'\0'};
        draw_text(dc, fonts.step_font, marker.colour, marker_text, {18, top, 38, top + row_height}, DT_SINGLELINE);
        const RECT text_box{40, top, text_right, top + row_height};
        draw_text(dc, fonts.step_font, progress_primary_text, step.label.c_str(), text_box, DT_SINGLELINE);
        // The detail shares the label's line, right-aligned; only one wider
        // than the whole line is cut, and a long one runs over the label.
        if (!step.detail.empty())
            draw_text(dc, fonts.detail_font, detail_colour(step), step.detail.c_str(), text_box,
                      DT_SINGLELINE | DT_RIGHT | DT_END_ELLIPSIS);
    }

    SelectObject(dc, original_font);
    EndPaint(window, &paint_info);
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1; // painting fills the background itself; erasing first would flicker
    case WM_CLOSE:
        // Recorded before the window goes, so the worker's next check sees it.
        sources.cancelled->exchange(true);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PROGRESS_UPDATE:
        // Every line is repainted whichever step changed; FALSE: no erase, painting covers it all.
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PROGRESS_CLOSE:
        // While this window is in front the launcher may set the foreground,
        // and once it is gone it may not; the engine starts only after that,
        // so its first window would open behind the others with a flashing
        // taskbar button. The right is passed on now, to any process, because
        // the engine has no process id yet. It lapses at the user's next
        // input. A failure (the window was not in front) changes nothing.
        // Wine does not enforce the foreground lock, so only Windows shows this.
        AllowSetForegroundWindow(ASFW_ANY);
        DestroyWindow(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

} // namespace

ProgressFonts CreateProgressFonts()
{
    ProgressFonts fonts;
    fonts.title_font = create_font(20, 600);
    fonts.step_font = create_font(16, 400);
    fonts.detail_font = create_font(13, 400);
    return fonts;
}

void DeleteProgressFonts(const ProgressFonts& fonts)
{
    for (HFONT font : {fonts.step_font, fonts.detail_font, fonts.title_font}) {
        if (font) DeleteObject(font);
    }
}

HWND CreateProgressDialog(HINSTANCE instance, const ProgressWindowSources& window_sources)
{
    sources = window_sources;

    // The launcher carries no icon of its own, so the system's application icon is what shows.
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
    WNDCLASSEXW window_class_info{};
    window_class_info.cbSize = sizeof(window_class_info);
    window_class_info.style = CS_HREDRAW | CS_VREDRAW; // any change of size repaints the whole window
    window_class_info.lpfnWndProc = ProgressWindowProc;
    window_class_info.hInstance = instance;
    window_class_info.hIcon = icon;
    window_class_info.hIconSm = icon;
    window_class_info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class_info.hbrBackground = nullptr; // painting fills the background itself
    window_class_info.lpszClassName = window_class;
    // Not examined: a failed registration shows up as a failed creation, and a
    // class already registered by an earlier window serves as it is.
    RegisterClassExW(&window_class_info);

    // Centred on the primary screen; the division truncates toward zero.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - window_width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - window_height) / 2;
    // A modal-frame dialog above every other window, with a close box but no
    // minimise, maximise or sizing border; hidden until the caller shows it.
    return CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, window_class, L"Preparing Orvalis Browser\u2026",
                           WS_CAPTION | WS_SYSMENU, x, y, window_width, window_height, nullptr, nullptr, instance,
                           nullptr);
}
