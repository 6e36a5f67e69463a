// The slots that both filters implement alike: the option listing, the separator, the lookup.
#pragma once

#include "common/OptionVocabulary.h"
#include "host/qorvix/IoFilter.h"
#include "host/tembla/StringOption.h"

namespace dornel {

/// The character that divides name=value entries in host option strings.
constexpr char kOptionSeparator = ';';

/// Slots 3, 4 and 6 over either filter base, written once for both directions.
template <class Base>
class FilterSlots : public Base {
  public:
    explicit FilterSlots(qorvix::IoManager& manager) : Base(manager) {}

    // slot 3
    RString GetOptionsString() override { return FormatOptionsListing(this->m_manager); }
    // slot 4
    char GetOptionSeparator() override { return kOptionSeparator; }
    // slot 6
    bool GetStringOption(const RString& options, const char* name, RString& value) override {
        return tembla::CommonGetStringOption(options, name, kOptionSeparator, value);
    }
};

}  // namespace dornel
