// The ten factories the plug-in exports under their plain names.
#pragma once

#include "host/qorvix/IoFilter.h"

#if defined(_WIN32)
#define DORNEL_EXPORT __declspec(dllexport)
#else
#define DORNEL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

using ImportFactory = qorvix::IoImportFilter* (*)(qorvix::IoManager& manager);
using ExportFactory = qorvix::IoExportFilter* (*)(qorvix::IoManager& manager);

DORNEL_EXPORT qorvix::IoImportFilter* ImportDAT(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoImportFilter* ImportCSV(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoImportFilter* ImportTXT(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoImportFilter* ImportBNA(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoImportFilter* ImportBLN(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoExportFilter* ExportDAT(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoExportFilter* ExportCSV(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoExportFilter* ExportTXT(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoExportFilter* ExportBNA(qorvix::IoManager& manager);
DORNEL_EXPORT qorvix::IoExportFilter* ExportBLN(qorvix::IoManager& manager);
}
