// Options a filter keeps in its fields, one row each, and the walks that read them from the
// store, write them back and take them from a host option string, in each walk's own order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/ColumnBreaks.h"
#include "common/OptionVocabulary.h"
#include "host/qorvix/IoManager.h"

namespace dornel {

/// Where an option is kept: in the store (the walk's persistent flag) or for the session only.
enum class OptionLife : uint8_t { Stored, Session };

/// One option: its name, the field that holds it (exactly one of flag, int32, uint32, text,
/// breaks), and its place in each walk (-1: not in that walk). A text option read from anywhere
/// has its keywords turned into characters; emptyAs is what an empty text is saved as.
template <class Filter>
struct OptionRow {
    const char* name;
    bool Filter::*flag = nullptr;
    int32_t Filter::*int32 = nullptr;
    uint32_t Filter::*uint32 = nullptr;
    RString Filter::*text = nullptr;
    /// Column breaks, kept in the option as their text form.
    std::vector<int32_t> Filter::*breaks = nullptr;
    OptionLife life = OptionLife::Stored;
    int8_t loadAt = -1;
    int8_t saveAt = -1;
    int8_t stringAt = -1;
    /// Set to whether an option string named the option.
    bool Filter::*given = nullptr;
    /// Taken from an option string only by the TXT kind.
    bool textKindOnly = false;
    const char* emptyAs = nullptr;
};

/// Calls visit for the rows in the order given by the member at (loadAt, saveAt or stringAt).
template <class Filter, class Visit>
void InOrder(std::span<const OptionRow<Filter>> rows, int8_t OptionRow<Filter>::*at, Visit visit) {
    for (int8_t place = 0; place < static_cast<int8_t>(rows.size()); ++place)
        for (const OptionRow<Filter>& row : rows)
            if (row.*at == place)
                visit(row);
}

template <class Filter>
bool ReadOption(qorvix::IoManager& m, const OptionRow<Filter>& row, Filter& f, bool persistent) {
    const bool p = row.life == OptionLife::Stored && persistent;
    if (row.flag)
        return m.GetOption(row.name, f.*row.flag, p);
    if (row.int32)
        return m.GetOption(row.name, f.*row.int32, p);
    if (row.uint32)
        return m.GetOption(row.name, f.*row.uint32, p);
    if (row.breaks) {
        (f.*row.breaks).clear();
        RString text;
        const bool found = m.GetOption(row.name, text, p);
        if (found)
            f.*row.breaks = ParseColumnBreaks(text.c_str());
        return found;
    }
    const bool found = m.GetOption(row.name, f.*row.text, p);
    NormalizeOptionValue(row.name, f.*row.text);
    return found;
}

template <class Filter>
void WriteOption(qorvix::IoManager& m, const OptionRow<Filter>& row, const Filter& f,
                 bool persistent) {
    const bool p = row.life == OptionLife::Stored && persistent;
    if (row.flag)
        m.SetOption(row.name, f.*row.flag, p);
    else if (row.int32)
        m.SetOption(row.name, static_cast<int>(f.*row.int32), p);
    else if (row.uint32)
        m.SetOption(row.name, static_cast<unsigned int>(f.*row.uint32), p);
    else if (row.breaks)
        m.SetOption(row.name, FormatColumnBreaks(f.*row.breaks), p);
    else if (row.emptyAs && (f.*row.text).empty())
        m.SetOption(row.name, RString(row.emptyAs), p);
    else
        m.SetOption(row.name, f.*row.text, p);
}

template <class Filter>
bool ReadStringOption(qorvix::IoManager& m, const RString& options, const OptionRow<Filter>& row,
                      Filter& f) {
    bool found;
    if (row.flag) {
        found = m.GetStringOption(options, row.name, f.*row.flag);
    } else if (row.int32) {
        found = m.GetStringOption(options, row.name, f.*row.int32);
    } else if (row.uint32) {
        found = m.GetStringOption(options, row.name, f.*row.uint32);
    } else if (row.breaks) {
        // A string without the option leaves the list empty, whatever was loaded.
        (f.*row.breaks).clear();
        RString text;
        found = m.GetStringOption(options, row.name, text);
        if (found)
            f.*row.breaks = ParseColumnBreaks(text.c_str());
    } else {
        found = m.GetStringOption(options, row.name, f.*row.text);
        if (found)
            NormalizeOptionValue(row.name, f.*row.text);
    }
    if (row.given)
        f.*row.given = found;
    return found;
}

/// A host option string: Defaults (absent: defaultsUnlessSaid) says whether to start from the
/// defaults (reset) or from the store (load); then every option the string names, in the walk's
/// order (TXT-only ones when textKind). Returns ForgetOptions: true when the result is to be
/// kept for the session only.
template <class Filter, class Reset, class Load>
bool TakeOptionString(qorvix::IoManager& m, const RString& options,
                      std::span<const OptionRow<Filter>> rows, Filter& f, bool defaultsUnlessSaid,
                      bool textKind, Reset reset, Load load) {
    bool defaults = defaultsUnlessSaid, forget = false;
    m.GetStringOption(options, kOptDefaults, defaults);
    m.GetStringOption(options, kOptForgetOptions, forget);
    if (defaults)
        reset();
    else
        load();
    InOrder<Filter>(rows, &OptionRow<Filter>::stringAt, [&](const OptionRow<Filter>& row) {
        if (!row.textKindOnly || textKind)
            ReadStringOption(m, options, row, f);
    });
    return forget;
}

}  // namespace dornel
