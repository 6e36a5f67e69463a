// The dialog templates as the terminal reads them: the same resource script the Windows build
// compiles, so that both places lay the dialogs out from one source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dornel {

/// One control of a template, in dialog units.
struct DialogItem {
    std::string text;
    int id = -1;
    std::string className;
    uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0, height = 0;
    std::vector<DialogItem> items;  ///< in template order, which is the tab order
};

/// Every DIALOGEX of a resource script. Lines it does not know are skipped; a CONTROL line
/// that does not parse throws std::runtime_error naming the line, since a template that
/// silently lost a control would show a dialog the user cannot fully work.
std::vector<DialogTemplate> ParseDialogTemplates(std::string_view script);

/// The template of that id from the plug-in's own resource script; throws when it is missing.
const DialogTemplate& BuiltInDialogTemplate(int id);

/// Window styles the terminal acts on.
constexpr uint32_t kStyleGroup = 0x00020000;  // WS_GROUP: the first radio of a group
constexpr uint32_t kButtonTypeMask = 0x0F;    // BS_* type in the low bits
constexpr uint32_t kButtonDefPush = 0x01;     // BS_DEFPUSHBUTTON
constexpr uint32_t kButtonAutoCheck = 0x03;   // BS_AUTOCHECKBOX
constexpr uint32_t kButtonGroupBox = 0x07;    // BS_GROUPBOX
constexpr uint32_t kButtonAutoRadio = 0x09;   // BS_AUTORADIOBUTTON
constexpr uint32_t kStaticRight = 0x02;       // SS_RIGHT

}  // namespace dornel
