// Keyword values of the character options, and the option listing of both filters.
#include "common/OptionVocabulary.h"

#include <string>
#include <vector>

#include "common/Runtime.h"

namespace dornel {

namespace {

struct Keyword {
    const char* word;
    char character;
};

constexpr Keyword kDelimiterKeywords[] = {
    {"tab", '\t'}, {"space", ' '}, {"comma", ','}, {"semicolon", ';'}, {"equals", '='},
};

bool IsListSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t';
}

/// Entries of a keyword list: runs of space, comma and tab are one boundary, and boundaries at
/// either end give no empty entry.
std::vector<std::string> SplitEntries(const std::string& text) {
    std::vector<std::string> entries;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsListSeparator(text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && !IsListSeparator(text[i]))
            ++i;
        if (i > start)
            entries.push_back(text.substr(start, i - start));
    }
    return entries;
}

std::string Lowered(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

void NormalizeDelimiter(RString& value) {
    const std::string lower = Lowered(value.str());
    bool keywordForm = false;
    for (const Keyword& k : kDelimiterKeywords)
        keywordForm = keywordForm || lower.find(k.word) != std::string::npos;
    if (!keywordForm)
        return;
    const std::vector<std::string> entries = SplitEntries(lower);
    if (entries.empty())
        return;
    std::string result;
    for (const std::string& entry : entries) {
        bool matched = false;
        for (const Keyword& k : kDelimiterKeywords) {
            if (CompareNoCase(entry.c_str(), k.word) == 0) {
                result += k.character;
                matched = true;
                break;
            }
        }
        if (!matched)
            result += entry;
    }
    value = RString(result);
}

void NormalizeQualifier(RString& value) {
    std::string result;
    bool keywordSeen = false;
    for (const std::string& entry : SplitEntries(value.str())) {
        if (CompareNoCase(entry.c_str(), "doublequote") == 0) {
            result += '"';
            keywordSeen = true;
        } else if (CompareNoCase(entry.c_str(), "singlequote") == 0) {
            result += '\'';
            keywordSeen = true;
        } else if (CompareNoCase(entry.c_str(), "none") == 0) {
            keywordSeen = true;
        }
    }
    // Without a keyword the value holds literal qualifier characters.
    if (keywordSeen)
        value = RString(result);
}

void NormalizeDecimalKeyword(RString& value) {
    if (value.str() == "period")
        value = RString(".");
    else if (value.str() == "comma")
        value = RString(",");
}

std::string ListDelimiter(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (i > 0)
            out += ',';
        switch (value[i]) {
            case '\t':
                out += "tab";
                break;
            case ' ':
                out += "space";
                break;
            case ',':
                out += "comma";
                break;
            case ';':
                out += "semicolon";
                break;
            default:
                out += value[i];
                break;
        }
    }
    return out;
}

std::string ListQualifier(const std::string& value) {
    if (value.empty())
        return "none";
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (i > 0)
            out += ',';
        // The listing names the single quote "quote"; any other character is an empty entry.
        if (value[i] == '"')
            out += "doublequote";
        else if (value[i] == '\'')
            out += "quote";
    }
    return out;
}

}  // namespace

void NormalizeOptionValue(const char* optionName, RString& value) {
    if (!optionName)
        return;
    if (CompareNoCase(optionName, "Delimiter") == 0)
        NormalizeDelimiter(value);
    else if (CompareNoCase(optionName, "TextQualifier") == 0)
        NormalizeQualifier(value);
    else if (CompareNoCase(optionName, "DecimalSymbol") == 0)
        NormalizeDecimalKeyword(value);
}

RString FormatOptionsListing(qorvix::IoManager& manager) {
    std::vector<RString> options;
    manager.GetOptions(options);
    std::string listing;
    for (size_t i = 0; i + 1 < options.size(); i += 2) {
        const std::string& name = options[i].str();
        const std::string& value = options[i + 1].str();
        listing += name;
        listing += '=';
        if (CompareNoCase(name.c_str(), "delimiter") == 0)
            listing += ListDelimiter(value);
        else if (CompareNoCase(name.c_str(), "textqualifier") == 0)
            listing += ListQualifier(value);
        else
            listing += value;
        listing += ';';
    }
    if (!listing.empty())
        listing.pop_back();
    return RString(listing);
}

}  // namespace dornel
