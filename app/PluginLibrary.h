// Loading the plug-in library by path and resolving its factories by their plain names.
#pragma once

#include <string>

#include "host/qorvix/IoFilter.h"

namespace dornel::app {

using ImportFactory = qorvix::IoImportFilter* (*)(qorvix::IoManager&);
using ExportFactory = qorvix::IoExportFilter* (*)(qorvix::IoManager&);

/// The ten factory names, in the order of the file kinds (CSV, TXT, DAT, BNA, BLN).
extern const char* const kImportFactoryNames[5];
extern const char* const kExportFactoryNames[5];

/// A loaded plug-in. Throws std::runtime_error naming the path or the missing factory.
class PluginLibrary {
  public:
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    /// The address of an exported name; throws when the plug-in lacks it.
    void* Resolve(const char* name) const;
    ImportFactory Import(int kind) const;
    ExportFactory Export(int kind) const;

    /// The plug-in beside the running program.
    static std::string DefaultPath();

  private:
    std::string path_;
    void* handle_ = nullptr;
};

}  // namespace dornel::app
