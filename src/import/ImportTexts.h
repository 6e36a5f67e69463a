// Fixed texts of the import side: the source name of its errors, messages.
#pragma once

namespace dornel {

constexpr const char* kImportSource = "DatImportFilter";
/// The line reported when a file that is not empty reads as empty.
constexpr int kEmptyReaderLine = 721;

constexpr const char* kMsgImportingMemory = "Importing...";
constexpr const char* kMsgImportingFile = "Importing %s";

}  // namespace dornel
