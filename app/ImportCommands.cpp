// dornel import and dornel probe: a file through an import filter, into a view or a verdict.
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "HostManager.h"
#include "InputFile.h"
#include "Output.h"
#include "PluginLibrary.h"
#include "Session.h"
#include "SheetBuilder.h"
#include "Trace.h"
#include "WholeFile.h"
#include "RowStream.h"
#include "TableView.h"
#include "Worksheet.h"
#include "host/brisko/EncodingDetection.h"
#include "host/brisko/Exception.h"
#include "host/brisko/File.h"
#include "host/qorvix/IoFilter.h"

namespace dornel::app {

namespace {

/// For a CSV file read as one column: a line that says which other delimiter stands on every
/// line the start of the file holds, and how to read it by that; empty when there is none.
std::string OneColumnHint(const std::string& path) {
    std::FILE* f = brisko::OpenFile(brisko::RString(Utf8ToAcp(path)), "rb");
    if (!f)
        return {};
    std::string sample(64 * 1024, '\0');
    sample.resize(std::fread(sample.data(), 1, sample.size(), f));
    std::fclose(f);
    const struct {
        char c;
        const char* shown;
        const char* keyword;
    } others[] = {{';', ";", "semicolon"}, {'\t', "tab", "tab"}, {'|', "|", "|"}};
    for (const auto& other : others) {
        size_t lines = 0, count = 0;
        bool same = true;
        size_t start = 0;
        // The last line of a sample that was cut short is left out.
        while (same && lines < 50) {
            const size_t end = sample.find('\n', start);
            if (end == std::string::npos)
                break;
            size_t n = 0, commas = 0;
            bool quoted = false;
            for (size_t i = start; i < end; ++i) {
                quoted = quoted != (sample[i] == '"');
                n += !quoted && sample[i] == other.c;
                commas += !quoted && sample[i] == ',';
            }
            if (end > start + (sample[end - 1] == '\r')) {
                same = commas == 0 && n > 0 && (lines == 0 || n == count);
                count = n;
                ++lines;
            }
            start = end + 1;
        }
        if (same && lines >= 2)
            return "each line has " + std::to_string(count) + " '" + other.shown +
                   "' and no ',', and a CSV is read at commas; to read it at '" + other.shown +
                   "': --kind txt --options Delimiter=" + other.keyword;
    }
    return {};
}

}  // namespace

int RunImport(const Settings& s) {
    Trace trace(stdout);
    Trace* t = s.trace ? &trace : nullptr;
    const int kind = KindFor(s.kind, s.file);
    const InputFile input(s.file);
    auto manager = MakeManager(s, t, "import", kind);
    manager->SetFormatKey(brisko::RString(kFormatKeys[kind]));
    if (s.fromMemory)
        manager->NameReaderPath("", "(memory block)");
    else if (input.Spooled())
        manager->NameReaderPath(input.Path(), s.file);
    Worksheet sheet;
    SheetBuilder builder(sheet);
    // The CSV and JSON views are written as the rows arrive; only the table needs them all.
    const bool streamed = s.format == "csv" || s.format == "json";
    RowStream stream(stdout, s.format == "json" ? RowStream::Json : RowStream::Csv);
    if (!s.trace)
        manager->SetSink(streamed ? static_cast<RecordSink*>(&stream) : &builder.Sink());
    PluginLibrary plugin(s.plugin);
    qorvix::IoImportFilter* filter = plugin.Import(kind)(*manager);
    if (!filter)
        throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
    std::unique_ptr<qorvix::IoImportFilter> owner(filter);
    if (s.optionsGiven) {
        ApplyOptionString(*manager, *filter, s.options, s.save);
        if (t)
            t->Write(Json{{"call", "ApplyStringOptions"}});
        WarnUnusedEntries(s.options, *manager);
    }
    int status;
    try {
        if (s.fromMemory) {
            const std::vector<char> data = ReadWholeFile(input.Path());
            status = manager->Call([&] {
                return filter->ImportFromMemory(data.data(), static_cast<uint32_t>(data.size()),
                                                s.interactive);
            });
            if (t)
                t->Write(Json{{"call", "ImportFromMemory"}, {"status", status}});
        } else {
            status = manager->Call([&] {
                return filter->ImportFile(brisko::RString(Utf8ToAcp(input.Path())), s.interactive);
            });
            if (t)
                t->Write(Json{{"call", "ImportFile"}, {"status", status}});
        }
    } catch (const brisko::Exception& e) {
        throw input.Renamed(e);
    }
    owner.reset();
    builder.Finish();
    if (!s.trace) {
        if (streamed)
            stream.Finish();
        else if (s.format == "table")
            WriteTable(sheet, stdout);
        if (kind == 0 && status == 0)
            if (const std::string hint = OneColumnHint(input.Path()); !hint.empty())
                std::fprintf(stderr, "dornel: hint: %s\n", hint.c_str());
        if (status == 1)
            std::fprintf(stderr, "dornel: the import stopped early\n");
        else if (status == 2)
            std::fprintf(stderr, "dornel: the import was cancelled\n");
    }
    return StatusExit(status);
}

int RunProbe(const Settings& s) {
    const int kind = KindFor(s.kind, s.file);
    const InputFile input(s.file);
    Trace trace(stdout);
    auto manager = MakeManager(s, s.trace ? &trace : nullptr, "import", kind);
    manager->SetFormatKey(brisko::RString(s.key.empty() ? kFormatKeys[kind] : s.key));
    PluginLibrary plugin(s.plugin);
    std::unique_ptr<qorvix::IoImportFilter> filter(plugin.Import(kind)(*manager));
    if (!filter)
        throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
    const int answer =
        manager->Call([&] { return filter->ProbeFile(brisko::RString(Utf8ToAcp(input.Path()))); });
    if (s.trace) {
        trace.Write(Json{{"call", "ProbeFile"}, {"status", answer}});
    } else {
        WriteOutput(stdout, std::to_string(answer) + "\n");
        // Standard output stays the answer alone; what it means, and how the file would be read,
        // go beside it.
        const std::string key = s.key.empty() ? kFormatKeys[kind] : s.key;
        const std::string meaning = answer == 1   ? "is a file of the format '" + key + "'"
                                    : answer == 2 ? "can be imported as plain text"
                                                  : "is not a file of the format '" + key + "'";
        std::fprintf(stderr, "dornel: %d: '%s' %s\n", answer, s.file.c_str(), meaning.c_str());
        brisko::EncodingDecision decision;
        if (brisko::DecideFileEncoding(brisko::RString(Utf8ToAcp(input.Path())), decision)) {
            // A stored page is imposed on 8-bit text, as the import imposes it.
            unsigned int page = 0;
            std::string why = decision.why;
            if (decision.form == brisko::FORM_8BIT &&
                manager->qorvix::IoManager::GetOption("ImportCodePage", page, true) && page != 0) {
                decision.codePage = page;
                why = "imposed by ImportCodePage=" + std::to_string(page);
            } else if (decision.decidedAt > 0) {
                why += " at byte " + std::to_string(decision.decidedAt);
            }
            std::fprintf(stderr, "dornel: '%s' reads as %s, %s\n", s.file.c_str(),
                         decision.Name().c_str(), why.c_str());
        }
    }
    return kExitOk;
}

}  // namespace dornel::app
