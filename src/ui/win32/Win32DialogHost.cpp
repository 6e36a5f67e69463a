// The dialogs' window operations in Win32 terms.
#include "ui/win32/Win32Platform.h"

#include <commctrl.h>

#include <algorithm>

#include "host/qorvix/IoFilter.h"

namespace dornel {

bool Win32DialogHost::IsChecked(int id) {
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void Win32DialogHost::Check(int id, bool checked) {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Win32DialogHost::CheckRadio(int first, int last, int id) {
    CheckRadioButton(dialog_, first, last, id);
}

std::string Win32DialogHost::GetText(int id, size_t max) {
    std::string text(max, '\0');
    const UINT n = GetDlgItemTextA(dialog_, id, text.data(), static_cast<int>(max));
    text.resize(n);
    return text;
}

void Win32DialogHost::SetText(int id, const std::string& text) {
    SetDlgItemTextA(dialog_, id, text.c_str());
}

void Win32DialogHost::SetUnsigned(int id, uint32_t value) {
    SetDlgItemInt(dialog_, id, value, FALSE);
}

bool Win32DialogHost::GetUnsigned(int id, uint32_t& value) {
    BOOL ok = FALSE;
    const UINT v = GetDlgItemInt(dialog_, id, &ok, FALSE);
    if (ok)
        value = v;
    return ok != FALSE;
}

void Win32DialogHost::Show(int id, bool shown) {
    ShowWindow(GetDlgItem(dialog_, id), shown ? SW_SHOW : SW_HIDE);
}

void Win32DialogHost::Enable(int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog_, id), enabled);
}

void Win32DialogHost::ComboAdd(int id, const std::string& text) {
    SendDlgItemMessageA(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32DialogHost::ComboSelect(int id, int index) {
    SendDlgItemMessageA(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32DialogHost::ComboSelection(int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0));
}

PreviewCtl* Win32DialogHost::QueryPreview(int id) {
    return reinterpret_cast<PreviewCtl*>(SendDlgItemMessageA(dialog_, id, kPreviewGetObject, 0, 0));
}

void Win32DialogHost::SetUpDownRange(int id, int32_t low, int32_t high) {
    SendDlgItemMessageA(dialog_, id, UDM_SETRANGE32, static_cast<WPARAM>(low), high);
}

void Win32DialogHost::AddContextHelpButton() {
    SetWindowLongA(dialog_, GWL_EXSTYLE, GetWindowLongA(dialog_, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
}

Rect Win32DialogHost::DialogRect() {
    RECT r{};
    GetWindowRect(dialog_, &r);
    return Rect{r.left, r.top, r.right, r.bottom};
}

Rect Win32DialogHost::ItemRect(int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog_, id), &r);
    return Rect{r.left, r.top, r.right, r.bottom};
}

int32_t Win32DialogHost::DialogFrameHeight() {
    return GetSystemMetrics(SM_CYDLGFRAME);
}

void Win32DialogHost::SetDialogHeight(int32_t height) {
    RECT r{};
    GetWindowRect(dialog_, &r);
    SetWindowPos(dialog_, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER);
}

void Win32DialogHost::AppendFilenameToTitle(const brisko::RString& path) {
    qorvix::AppendFilenameToWindowTitle(dialog_, path);
}

void Win32DialogHost::CenterOnParent() {
    // Centred on the owner, kept within the work area of the owner's monitor; on the work area
    // itself when the owner is hidden or minimised.
    HWND parent = GetParent(dialog_);
    RECT dialog{}, area{}, around{};
    GetWindowRect(dialog_, &dialog);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(parent ? parent : dialog_, MONITOR_DEFAULTTONEAREST),
                    &monitor);
    area = monitor.rcWork;
    if (parent && IsWindowVisible(parent) && !IsIconic(parent))
        GetWindowRect(parent, &around);
    else
        around = area;
    const int w = dialog.right - dialog.left, h = dialog.bottom - dialog.top;
    int x = (around.left + around.right - w) / 2, y = (around.top + around.bottom - h) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - w));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - h));
    SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Win32DialogHost::EndDialog(int result) {
    ::EndDialog(dialog_, result);
}

}  // namespace dornel
