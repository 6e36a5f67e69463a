// Helpers of the import tests: a filter reading a file made by the test, fields as text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/brisko/CodePage.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "import/DatImportFilter.h"
#include "support/TestSupport.h"

namespace dornel::test {

/// A filter of one kind whose reader is open on bytes the test gives.
struct FilterOnFile {
    explicit FilterOnFile(FileKind kind = KIND_TXT) : filter(manager, kind) {}
    void Open(const std::string& bytes) {
        path = dir.Write("input.txt", bytes);
        filter.reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(
            brisko::RString(path), "r", 3, brisko::TE_ANSI, 65001, true, false);
    }
    TempDir dir;
    RecordingManager manager;
    DatImportFilter filter;
    std::string path;
};

/// A terminator as text: "LF", "CR", "EOF", or the character itself.
inline std::string TerminatorName(char16_t t) {
    if (t == 10)
        return "LF";
    if (t == 13)
        return "CR";
    if (t == brisko::kEndOfFile)
        return "EOF";
    if (t == u' ')
        return "SP";
    return brisko::ToUtf8(std::u16string(1, t));
}

/// Every field up to and including the one that ends the file: "text|terminator".
inline std::vector<std::string> AllFields(DatImportFilter& f) {
    std::vector<std::string> out;
    for (int guard = 0; guard < 100000; ++guard) {
        const char16_t t = f.reading.ReadField();
        out.push_back(brisko::ToUtf8(f.reading.Field()) + "|" + TerminatorName(t));
        if (t == brisko::kEndOfFile)
            break;
    }
    return out;
}

/// Restores the reader's default block size when a test ends.
struct ScopedBlockSize {
    explicit ScopedBlockSize(size_t n)
        : saved(brisko::CEncodedBufferedFile::GetDefaultBlockSize()) {
        brisko::CEncodedBufferedFile::SetDefaultBlockSize(n);
    }
    ~ScopedBlockSize() { brisko::CEncodedBufferedFile::SetDefaultBlockSize(saved); }
    size_t saved;
};

}  // namespace dornel::test
