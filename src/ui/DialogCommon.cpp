// What both options dialogs do alike with their windows.
#include "ui/DialogCommon.h"

#include "ui/DialogTexts.h"

namespace dornel {

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
