// What both options dialogs do alike with their windows.
#include "ui/DialogCommon.h"

#include "ui/DialogTexts.h"

namespace dornel {

bool OptionsDialog::ProcessWindowMessage(unsigned message, uintptr_t wParam, intptr_t,
                                         intptr_t& result, unsigned mapId) {
    if (mapId != 0)
        return false;
    if (message == kWmInitDialog) {
        OnInitDialog();
        result = 1;
        return true;
    }
    if (message == kWmSysCommand) {
        if ((wParam & 0xFFF0) != kScContextHelp)
            return false;
        OnContextHelp();
        result = 0;
        return true;
    }
    if (message != kWmCommand)
        return false;
    const int id = static_cast<int>(wParam & 0xFFFF);
    const unsigned code = static_cast<unsigned>((wParam >> 16) & 0xFFFF);
    result = 0;
    if (OnCommand(id, code))
        return true;
    if (id >= kIdCancel && id <= kIdNo) {
        host->EndDialog(id);
        return true;
    }
    return false;
}

void FillCodePageList(DialogHost& host, int listId, brisko::CodePageInfo& codePages,
                      uint32_t codePage) {
    codePages.SetOrder(2);
    for (int i = 0; i < codePages.GetCount(); ++i)
        host.ComboAdd(listId,
                      brisko::FormatString(kCodePageItemFormat, codePages.GetNameByIndex(i).c_str(),
                                           static_cast<int>(codePages.GetPageNumberByIndex(i))));
    // The index starts at 0 and is used whatever the lookup answers.
    int index = 0;
    codePages.GetIndexFromPageNumber(codePage, index);
    host.ComboSelect(listId, index);
}

void CutOffAtGroup(DialogHost& host, int groupId) {
    const Rect dialog = host.DialogRect();
    const Rect group = host.ItemRect(groupId);
    host.SetDialogHeight(group.top - dialog.top + host.DialogFrameHeight() + 1);
}

}  // namespace dornel
