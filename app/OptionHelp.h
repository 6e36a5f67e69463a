// What each option does, for `dornel options help` and for the warnings about option strings.
#pragma once

#include <string>

namespace dornel::app {

/// The options of a direction ("import" or "export") that the filter of kind (a kind name)
/// reads and acts on. False for an option of the direction that the kind reads, or may read,
/// and then ignores; true for any name the table does not know, which other checks judge.
bool OptionTakesEffect(const std::string& direction, const std::string& kind,
                       const std::string& name);
/// The kinds an option of a direction takes effect for, as "txt, dat"; empty when unknown.
std::string KindsOfOption(const std::string& direction, const std::string& name);
/// Every option: its directions, kinds, type, default, keywords and what it does.
std::string OptionsHelp();

}  // namespace dornel::app
