// What both options dialogs do alike with their windows.
#pragma once

#include <cstdint>

#include "host/brisko/CodePageInfo.h"
#include "ui/DialogHost.h"

namespace dornel {

/// What both options dialogs do alike with their window's messages: the dialog opens, the
/// caption's help button shows the dialog's topic instead of the context-help mode, and the
/// standard buttons from Cancel to No end the dialog with their own id. The other commands are
/// each dialog's own.
class OptionsDialog {
  public:
    explicit OptionsDialog(DialogHost* host) : host(host) {}
    virtual ~OptionsDialog() = default;

    /// Answers whether the message was handled; result is the handler's answer.
    bool ProcessWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t& result,
                              unsigned mapId = 0);

    virtual void OnInitDialog() = 0;
    virtual void OnContextHelp() = 0;
    /// A command with its notification code; false leaves it unhandled.
    virtual bool OnCommand(int id, unsigned code) = 0;

    DialogHost* host;
};

/// Fills a drop-down list with the catalogue in order 2, one "name - [number]" item per page,
/// and selects the item of codePage, or the first item when the catalogue lacks it.
void FillCodePageList(DialogHost& host, int listId, brisko::CodePageInfo& codePages,
                      uint32_t codePage);

/// Ends the dialog's window just below the top edge of a group box, keeping its position and
/// width: height = group top - dialog top + dialog frame height + 1.
void CutOffAtGroup(DialogHost& host, int groupId);

}  // namespace dornel
