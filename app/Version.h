// dornel --version and dornel version.
#pragma once

#include <string>

namespace dornel::app {

/// Prints the program's version and the commit it was built from, the plug-in it loads (loading
/// it, so that a broken installation shows here) and the versions of the libraries the text
/// conversion rests on. Throws as the plug-in's loading does.
int RunVersion(const std::string& pluginPath);

}  // namespace dornel::app
