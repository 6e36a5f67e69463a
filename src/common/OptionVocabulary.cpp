// Keyword values of the character options, and the option listing of both filters.
#include "common/OptionVocabulary.h"

#include <span>
#include <string>
#include <vector>

#include "common/Runtime.h"

namespace dornel {

namespace {

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
    for (const CharacterKeyword& k : kDelimiterKeywords)
        keywordForm = keywordForm || lower.find(k.word) != std::string::npos;
    if (!keywordForm)
        return;
    const std::vector<std::string> entries = SplitEntries(lower);
    if (entries.empty())
        return;
    std::string result;
    for (const std::string& entry : entries) {
        bool matched = false;
        for (const CharacterKeyword& k : kDelimiterKeywords) {
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
        if (CompareNoCase(entry.c_str(), kNoQualifierKeyword) == 0)
            keywordSeen = true;
        for (const CharacterKeyword& k : kQualifierKeywords) {
            if (CompareNoCase(entry.c_str(), k.word) == 0) {
                result += k.character;
                keywordSeen = true;
            }
        }
    }
    // Without a keyword the value holds literal qualifier characters.
    if (keywordSeen)
        value = RString(result);
}

void NormalizeDecimalKeyword(RString& value) {
    for (const CharacterKeyword& k : kDecimalKeywords)
        if (value.str() == k.word)
            value = RString(std::string(1, k.character));
}

/// A value's characters as the listing writes them: each keyword's listed word, or the
/// character itself; with unknown set, a character without a keyword becomes what it says.
std::string ListCharacters(const std::string& value, std::span<const CharacterKeyword> keywords,
                           const char* unknown) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (i > 0)
            out += ',';
        const char* word = nullptr;
        for (const CharacterKeyword& k : keywords)
            if (k.character == value[i])
                word = k.listedAs;
        if (word)
            out += word;
        else if (unknown)
            out += unknown;
        else
            out += value[i];
    }
    return out;
}

std::string ListDelimiter(const std::string& value) {
    return ListCharacters(value, kDelimiterKeywords, nullptr);
}

std::string ListQualifier(const std::string& value) {
    if (value.empty())
        return kNoQualifierKeyword;
    // Any character other than the two quotes is an empty entry.
    return ListCharacters(value, kQualifierKeywords, "");
}

}  // namespace

void NormalizeOptionValue(const char* optionName, RString& value) {
    if (!optionName)
        return;
    if (CompareNoCase(optionName, kOptDelimiter) == 0)
        NormalizeDelimiter(value);
    else if (CompareNoCase(optionName, kOptTextQualifier) == 0)
        NormalizeQualifier(value);
    else if (CompareNoCase(optionName, kOptDecimalSymbol) == 0)
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
        if (CompareNoCase(name.c_str(), kOptDelimiter) == 0)
            listing += ListDelimiter(value);
        else if (CompareNoCase(name.c_str(), kOptTextQualifier) == 0)
            listing += ListQualifier(value);
        else
            listing += value;
        listing += ';';
    }
    if (!listing.empty())
        listing.pop_back();
    return RString(listing);
}

int ReadClipboardTextType(qorvix::IoManager& manager, bool* found) {
    int textType = -1;
    const bool set = manager.GetOption(kOptClipboardTextType, textType, false);
    if (found)
        *found = set;
    return textType;
}

}  // namespace dornel
