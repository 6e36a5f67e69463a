// Lookup of one entry in a host option string.
#pragma once

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace tembla {

/// An option string is a list of entries name=value divided by separator. Names are compared
/// without regard to case and with blanks around them ignored; the value is everything after the
/// first '=' up to the next separator, kept as it stands. When a name occurs more than once the
/// last entry wins. An entry without '=' names nothing. Returns whether the name was found.
TEMBLA_API bool CommonGetStringOption(const brisko::RString& options, const char* name,
                                      char separator, brisko::RString& value);

}  // namespace tembla
