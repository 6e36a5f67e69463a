// The WQDatPreview window class: the window owns its PreviewCtl, and its procedure only
// translates messages into the grid's operations.
#include <new>

#include "host/brisko/SystemInfo.h"
#include "ui/win32/Win32Platform.h"

namespace dornel {

namespace {

constexpr const char* kClassName = "WQDatPreview";

/// The window side of one grid: client area, scroll bars, fonts, invalidation.
class Win32PreviewWindow : public PreviewWindow {
  public:
    explicit Win32PreviewWindow(HWND window) : window_(window) {}
    Rect GetClientRect() override {
        RECT r{};
        ::GetClientRect(window_, &r);
        return Rect{r.left, r.top, r.right, r.bottom};
    }
    void SetScrollRange(int bar, int32_t minimum, int32_t maximum, int32_t page) override {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE;
        info.nMin = minimum;
        info.nMax = maximum;
        info.nPage = static_cast<UINT>(page < 0 ? 0 : page);
        SetScrollInfo(window_, bar == SB_HORIZONTAL ? SB_HORZ : SB_VERT, &info, TRUE);
    }
    void SetScrollPosition(int bar, int32_t position) override {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_POS;
        info.nPos = position;
        SetScrollInfo(window_, bar == SB_HORIZONTAL ? SB_HORZ : SB_VERT, &info, TRUE);
    }
    ScrollState GetScrollState(int bar) override {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(window_, bar == SB_HORIZONTAL ? SB_HORZ : SB_VERT, &info);
        return ScrollState{info.nMin, info.nMax, static_cast<int32_t>(info.nPage), info.nPos,
                           info.nTrackPos};
    }
    void Invalidate() override { InvalidateRect(window_, nullptr, TRUE); }
    FontHandle CreateCellFont(int32_t weight, uint8_t charSet, const char* faceName) override {
        LOGFONTA font{};
        font.lfWeight = weight;
        font.lfCharSet = charSet;
        font.lfOutPrecision = OUT_TT_PRECIS;
        font.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
        lstrcpynA(font.lfFaceName, faceName, LF_FACESIZE);
        return CreateFontIndirectA(&font);
    }
    FontHandle CreateIconTitleFont(int32_t height) override {
        LOGFONTA font{};
        SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0);
        font.lfHeight = height;
        return CreateFontIndirectA(&font);
    }
    void DeleteFont(FontHandle font) override { DeleteObject(static_cast<HGDIOBJ>(font)); }

  private:
    HWND window_;
};

/// The grid and its window side, made and freed together.
struct PreviewObject {
    explicit PreviewObject(HWND window) : platform(window), grid(&platform) {}
    Win32PreviewWindow platform;
    PreviewCtl grid;
};

PreviewObject* ObjectOf(HWND window) {
    return reinterpret_cast<PreviewObject*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Paint(HWND window, PreviewCtl& grid) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (IsWindowVisible(window)) {
        // Drawn off screen and copied in one piece, so the grid never flickers.
        HDC memory = CreateCompatibleDC(dc);
        if (memory) {
            RECT client{};
            GetClientRect(window, &client);
            const int w = client.right - client.left, h = client.bottom - client.top;
            if (w >= 1 && h >= 1) {
                HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
                if (bitmap) {
                    HGDIOBJ previous = SelectObject(memory, bitmap);
                    GdiPainter painter(memory);
                    grid.Draw(painter);
                    BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
                    SelectObject(memory, previous);
                    DeleteObject(bitmap);
                }
            }
            DeleteDC(memory);
        }
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PreviewObject* object = ObjectOf(window);
    switch (message) {
        case WM_NCCREATE: {
            // Without an object the window lives on; the object query then answers null.
            PreviewObject* made = nullptr;
            try {
                made = new (std::nothrow) PreviewObject(window);
            } catch (...) {
                made = nullptr;
            }
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
            return 1;
        }
        case WM_NCDESTROY:
            if (object) {
                SetWindowLongPtrA(window, GWLP_USERDATA, 0);
                delete object;
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case kPreviewGetObject:
            return reinterpret_cast<LRESULT>(object ? &object->grid : nullptr);
        case WM_ERASEBKGND:
            return 1;
        default:
            break;
    }
    if (object) {
        switch (message) {
            case WM_SIZE:
                object->grid.UpdateScrollBars();
                return 0;
            case WM_PAINT:
                Paint(window, object->grid);
                return 0;
            case WM_HSCROLL:
                object->grid.Scroll(SB_HORIZONTAL, LOWORD(wParam));
                return 0;
            case WM_VSCROLL:
                object->grid.Scroll(SB_VERTICAL, LOWORD(wParam));
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HINSTANCE PluginInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&PluginInstance), &module);
    return module;
}

void RegisterPreviewClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kClassName, &existing))
        return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = PreviewProc;
    wc.cbWndExtra = 8;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);
}

}  // namespace dornel
