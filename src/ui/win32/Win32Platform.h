// The Windows side of the user interface: the plug-in's module, the preview window class, and
// the dialogs' window procedures. Only files of this folder include windows.h.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "ui/DialogHost.h"
#include "ui/Painter.h"
#include "ui/PreviewCtl.h"

static_assert(sizeof(wchar_t) == 2, "wide text is UTF-16 on Windows");

namespace dornel {

/// The plug-in's module instance, from which templates are loaded and classes registered.
HINSTANCE PluginInstance();

/// Registers the class "WQDatPreview" for the instance unless it is registered already.
void RegisterPreviewClass(HINSTANCE instance);

/// Painting through GDI into a device context.
class GdiPainter : public Painter {
  public:
    explicit GdiPainter(HDC dc) : dc_(dc) {}
    void FillRect(const Rect& rect, Brush brush) override;
    FontHandle SelectFont(FontHandle font) override;
    void SetTransparentBackground() override;
    uint32_t SetTextColor(uint32_t rgb) override;
    uint32_t SetTextAlign(uint32_t align) override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) override;
    void DrawTextA(const char* text, const Rect& rect, uint32_t flags) override;
    void TextOutA(int32_t x, int32_t y, const char* text) override;
    void DrawFrameControl(const Rect& rect) override;

  private:
    HDC dc_;
};

/// A dialog window as the dialogs' logic sees it.
class Win32DialogHost : public DialogHost {
  public:
    explicit Win32DialogHost(HWND dialog = nullptr) : dialog_(dialog) {}
    void Attach(HWND dialog) { dialog_ = dialog; }
    bool IsChecked(int id) override;
    void Check(int id, bool checked) override;
    void CheckRadio(int first, int last, int id) override;
    std::string GetText(int id, size_t max) override;
    void SetText(int id, const std::string& text) override;
    void SetUnsigned(int id, uint32_t value) override;
    bool GetUnsigned(int id, uint32_t& value) override;
    void Show(int id, bool shown) override;
    void Enable(int id, bool enabled) override;
    void ComboAdd(int id, const std::string& text) override;
    void ComboSelect(int id, int index) override;
    int ComboSelection(int id) override;
    PreviewCtl* QueryPreview(int id) override;
    void SetUpDownRange(int id, int32_t low, int32_t high) override;
    void AddContextHelpButton() override;
    Rect DialogRect() override;
    Rect ItemRect(int id) override;
    int32_t DialogFrameHeight() override;
    void SetDialogHeight(int32_t height) override;
    void AppendFilenameToTitle(const brisko::RString& path) override;
    void CenterOnParent() override;
    void EndDialog(int result) override;

  private:
    HWND dialog_;
};

/// Runs a dialog of ours modally from its template: the logic object goes in the dialog's
/// user slot at WM_INITDIALOG, and every message passes through its ProcessWindowMessage.
template <class Logic>
INT_PTR RunModal(int templateId, HWND owner, Logic& logic, Win32DialogHost& host) {
    struct Context {
        Logic* logic;
        Win32DialogHost* host;
    } context{&logic, &host};
    auto proc = [](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        auto* c = reinterpret_cast<Context*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (!c)
            return FALSE;
        if (message == WM_INITDIALOG)
            c->host->Attach(dialog);
        intptr_t result = 0;
        if (!c->logic->ProcessWindowMessage(message, wParam, lParam, result))
            return FALSE;
        if (message == WM_INITDIALOG)
            return result;
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
        return TRUE;
    };
    // The import dialog holds an up-down control: its class must be registered even in a host
    // that never initialised the common controls itself.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return DialogBoxParamA(PluginInstance(), MAKEINTRESOURCEA(templateId), owner, proc,
                           reinterpret_cast<LPARAM>(&context));
}

}  // namespace dornel
