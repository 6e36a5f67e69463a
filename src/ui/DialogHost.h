// What the dialogs' logic needs of their window: the dialog-item operations of the platform.
#pragma once

#include <cstdint>
#include <string>

#include "host/brisko/RString.h"
#include "ui/Painter.h"

namespace dornel {

class PreviewCtl;

/// The standard buttons' ids: OK, Cancel, and the last of them (No).
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdNo = 7;

/// Messages and notifications the dialogs handle.
constexpr unsigned kWmInitDialog = 0x110;
constexpr unsigned kWmCommand = 0x111;
constexpr unsigned kWmSysCommand = 0x112;
constexpr unsigned kScContextHelp = 0xF180;
constexpr unsigned kEnChange = 0x300;
constexpr unsigned kCbnSelChange = 1;

/// One dialog window as its logic sees it. On Windows each operation is the Win32 call of the
/// same effect; in tests a fake keeps the controls' states. Setting an edit's text raises its
/// text-changed notification, as on the platform.
class DialogHost {
  public:
    virtual ~DialogHost() = default;
    virtual bool IsChecked(int id) = 0;
    virtual void Check(int id, bool checked) = 0;
    /// Checks id and clears the other buttons first ... last.
    virtual void CheckRadio(int first, int last, int id) = 0;
    /// At most max - 1 bytes of the item's text.
    virtual std::string GetText(int id, size_t max) = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual void SetUnsigned(int id, uint32_t value) = 0;
    /// The item's text as an unsigned decimal number; false when it is none.
    virtual bool GetUnsigned(int id, uint32_t& value) = 0;
    virtual void Show(int id, bool shown) = 0;
    virtual void Enable(int id, bool enabled) = 0;
    virtual void ComboAdd(int id, const std::string& text) = 0;
    virtual void ComboSelect(int id, int index) = 0;
    virtual int ComboSelection(int id) = 0;
    /// The preview grid's object from control id (the object query), or null.
    virtual PreviewCtl* QueryPreview(int id) = 0;
    virtual void SetUpDownRange(int id, int32_t low, int32_t high) = 0;
    /// Adds the extended style 0x400: the help button on the caption.
    virtual void AddContextHelpButton() = 0;
    /// Window rectangles in screen pixels: the dialog's, and one item's.
    virtual Rect DialogRect() = 0;
    virtual Rect ItemRect(int id) = 0;
    /// The height of the dialog frame (SM_CYDLGFRAME).
    virtual int32_t DialogFrameHeight() = 0;
    /// Sets the dialog's height, keeping its position and width.
    virtual void SetDialogHeight(int32_t height) = 0;
    virtual void AppendFilenameToTitle(const brisko::RString& path) = 0;
    virtual void CenterOnParent() = 0;
    virtual void EndDialog(int result) = 0;
};

}  // namespace dornel
