// The options of both directions, as a user looks them up.
#include "OptionHelp.h"

#include "host/qorvix/OptionValue.h"

namespace dornel::app {

namespace {

struct OptionDoc {
    const char* direction;
    const char* name;
    const char* type;
    const char* defaults;
    const char* kinds;  // the kinds it takes effect for
    const char* keywords;
    const char* meaning;
};

// The kinds of the import that read their rules from options are TXT and DAT; CSV, BNA and BLN
// read by fixed rules. Of the export, DAT and TXT write by options; the others by fixed rules.
constexpr OptionDoc kOptions[] = {
    {"import", "UseFixedWidth", "bool", "false", "txt, dat", "",
     "split lines at the column breaks instead of at delimiters"},
    {"import", "StartRow", "int", "0", "txt, dat", "", "lines skipped before the first row"},
    {"import", "ImportCodePage", "uint", "0", "txt, dat", "",
     "code page of 8-bit text; 0 reads the file as its bytes say"},
    {"import", "ColumnBreaks", "text", "none", "txt, dat", "",
     "fixed-width column boundaries, as character positions: \"6 16 26\""},
    {"import", "Delimiter", "text", "comma, tab, semicolon and space", "txt, dat",
     "tab, space, comma, semicolon, equals",
     "delimiter characters; a value with no keyword is taken character by character"},
    {"import", "TextQualifier", "text", "double and single quote", "txt, dat",
     "doublequote, singlequote, none", "characters that open and close a quoted field"},
    {"import", "DecimalSymbol", "text", ".", "txt", "period, comma",
     "decimal separator of numbers"},
    {"import", "EatWhitespace", "bool", "true", "txt, dat", "",
     "skip spaces at the start of a field"},
    {"import", "SkipExtraDelimiters", "bool", "false", "txt, dat", "",
     "a run of delimiters counts as one"},
    {"import", "AggressiveConversion", "bool", "false", "txt, dat", "",
     "read numbers with text after them as numbers, \"1 2 3\" as three cells"},
    {"import", "MaxRow", "int", "2147483647", "txt, dat", "", "most rows imported"},
    {"import", "MaxCol", "int", "2147483647", "txt, dat", "", "most cells per row"},
    {"import", "DateTimeSupport", "bool", "false", "csv, txt, dat", "",
     "read text fields that are dates and times as dates (see --set DateOrder)"},
    {"export", "Delimiter", "text", "dat: comma; txt: tab", "txt, dat",
     "tab, space, comma, semicolon", "field separator written"},
    {"export", "DecimalSymbol", "text", ".", "txt, dat", "period, comma",
     "written in place of '.' in numbers"},
    {"export", "TextQualifier", "text", "dat: \"; txt: none", "txt, dat",
     "doublequote, singlequote, none", "written around texts"},
    {"export", "ExportEncodingMethod", "uint", "0", "txt, dat", "",
     "0 8-bit text in ExportCodepage, 1 UTF-16 with a mark, 2 UTF-8 with a mark"},
    {"export", "ExportCodepage", "uint", "0", "txt, dat", "",
     "code page of 8-bit output; 0 the system's"},
};

constexpr OptionDoc kStringOnly[] = {
    {"both", "Defaults", "bool", "import: true; export: false", "every kind", "",
     "in an option string: start from the kind's defaults instead of the stored values"},
    {"both", "ForgetOptions", "bool", "false", "every kind", "",
     "in an option string: with --save, keep the result for this run only"},
    {"both", "ClipboardTextType", "int", "absent", "every kind", "",
     "memory blocks: 0 8-bit text, 1 UTF-16 text (a value of the shared scope)"},
};

const OptionDoc* Find(const std::string& direction, const std::string& name) {
    for (const OptionDoc& o : kOptions)
        if (direction == o.direction && qorvix::SameOptionName(name, o.name))
            return &o;
    return nullptr;
}

}  // namespace

bool OptionTakesEffect(const std::string& direction, const std::string& kind,
                       const std::string& name) {
    const OptionDoc* o = Find(direction, name);
    return !o || std::string(o->kinds).find(kind) != std::string::npos;
}

std::string KindsOfOption(const std::string& direction, const std::string& name) {
    const OptionDoc* o = Find(direction, name);
    return o ? o->kinds : "";
}

std::string OptionsHelp() {
    std::string text;
    auto describe = [&](const OptionDoc& o) {
        text += std::string(o.name) + " (" + o.direction + ", " + o.type + ", default " +
                o.defaults + ")\n    " + o.meaning + "\n    takes effect for: " + o.kinds + "\n";
        if (*o.keywords)
            text += std::string("    keywords: ") + o.keywords + "\n";
    };
    for (const OptionDoc& o : kOptions)
        describe(o);
    for (const OptionDoc& o : kStringOnly)
        describe(o);
    text +=
        "\nAn option string (--options 'NAME=VALUE;...') lasts one run; --save keeps it. "
        "CSV, BNA and BLN files are read and written by fixed rules: of the options above "
        "they take only those that name them.\n";
    return text;
}

}  // namespace dornel::app
