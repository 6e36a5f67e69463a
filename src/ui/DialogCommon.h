// What both options dialogs do alike with their windows.
#pragma once

#include <cstdint>

#include "host/brisko/CodePageInfo.h"
#include "ui/DialogHost.h"

namespace dornel {

/// Fills a drop-down list with the catalogue in order 2, one "name - [number]" item per page,
/// and selects the item of codePage, or the first item when the catalogue lacks it.
void FillCodePageList(DialogHost& host, int listId, brisko::CodePageInfo& codePages,
                      uint32_t codePage);

/// Ends the dialog's window just below the top edge of a group box, keeping its position and
/// width: height = group top - dialog top + dialog frame height + 1.
void CutOffAtGroup(DialogHost& host, int groupId);

}  // namespace dornel
