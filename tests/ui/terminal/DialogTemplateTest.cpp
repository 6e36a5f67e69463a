// Tests of reading the dialog templates out of the resource script.
#include "ui/terminal/DialogTemplate.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace dornel::test {
namespace {

TEST(DialogTemplate, TheBuiltInTemplatesHaveEveryControlInOrder) {
    const DialogTemplate& import = BuiltInDialogTemplate(104);
    EXPECT_EQ(import.caption, "Data Import Options");
    EXPECT_EQ(import.width, 365);
    EXPECT_EQ(import.height, 215);
    ASSERT_EQ(import.items.size(), 31u);
    EXPECT_EQ(import.items.front().text, "Field Format");
    EXPECT_EQ(import.items.front().id, -1);
    EXPECT_EQ(import.items[16].text, "\"&Double Quote\"");  // quotes doubled in the script
    EXPECT_EQ(import.items[22].className, "WQDatPreview");
    EXPECT_EQ(import.items[22].style, 0x50310000u);
    EXPECT_EQ(import.items.back().id, 2);

    const DialogTemplate& exportDialog = BuiltInDialogTemplate(105);
    EXPECT_EQ(exportDialog.caption, "Data Export Options");
    ASSERT_EQ(exportDialog.items.size(), 17u);
    const DialogItem& list = exportDialog.items[9];
    EXPECT_EQ(list.id, 20050);
    EXPECT_EQ((std::vector<int>{list.x, list.y, list.width, list.height}),
              (std::vector<int>{64, 73, 76, 71}));
    EXPECT_THROW(BuiltInDialogTemplate(999), std::runtime_error);
}

TEST(DialogTemplate, AControlThatDoesNotParseIsAnErrorNotALostControl) {
    for (const char* line : {"    CONTROL \"a\", 12, \"BUTTON\", 0x50000007, 1, 2, 3\n",
                             "    CONTROL \"a\", 12x, \"BUTTON\", 0x50000007, 1, 2, 3, 4\n"})
        EXPECT_THROW(ParseDialogTemplates(std::string("7 DIALOGEX 0, 0, 10, 10\n") + line),
                     std::runtime_error)
            << line;
    // A leading zero is decimal, as the resource compiler reads it.
    const auto t = ParseDialogTemplates(
        "// comment\n7 DIALOGEX 0, 0, 10, 10\nBEGIN\n  CONTROL \"\", 010, \"EDIT\", 0x80, 08, "
        "1, 2, 3\nEND\n");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].items.at(0).id, 10);
    EXPECT_EQ(t[0].items.at(0).x, 8);
}

}  // namespace
}  // namespace dornel::test
