// dornel export and dornel convert: records handed to the export filter, and the memory block
// of a clipboard export.
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "InputFile.h"
#include "PluginLibrary.h"
#include "RecordsFile.h"
#include "Session.h"
#include "SheetBuilder.h"
#include "WholeFile.h"
#include "Worksheet.h"
#include "host/brisko/ReplacementFile.h"
#include "host/brisko/DateTime.h"
#include "host/brisko/File.h"
#include "host/qorvix/GlobalMemory.h"
#include "host/qorvix/IoFilter.h"

namespace dornel::app {

using namespace qorvix;

namespace {

std::string Base64(const unsigned char* data, size_t size) {
    static const char* const digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < size; i += 3) {
        const uint32_t n = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0) |
                           (i + 2 < size ? data[i + 2] : 0);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < size ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < size ? digits[n & 63] : '=';
    }
    return out;
}

/// One export: the filter, the trace of its calls, the block of a memory export.
class ExportSession {
  public:
    /// options: the host option string, or none.
    ExportSession(const Settings& s, int kind, const std::string* options, Trace* trace)
        : trace_(trace), manager_(MakeManager(s, trace)), plugin_(s.plugin) {
        filter_.reset(plugin_.Export(kind)(*manager_));
        if (!filter_)
            throw std::runtime_error(std::string(kExportFactoryNames[kind]) + " made no filter");
        if (options) {
            manager_->Call(
                [&] { filter_->ApplyStringOptions(brisko::RString(Utf8ToAcp(*options))); });
            Note(Json{{"call", "ApplyStringOptions"}});
            WarnUnusedEntries(*options, *manager_);
        }
    }

    ~ExportSession() {
        if (block_)
            GlobalFree(block_);
    }

    int Begin(const std::string& path, bool interactive) {
        const int status = manager_->Call(
            [&] { return filter_->BeginExport(brisko::RString(Utf8ToAcp(path)), interactive); });
        Note(Json{{"call", "BeginExport"}, {"status", status}});
        return status;
    }

    /// Hands one record over; with toMemory a TrInitWksExp gets the session's destinations.
    int Send(TrBase& record, bool toMemory) {
        if (toMemory && record.GetTypeInfo() == TrInitWksExp::GetClassTypeId()) {
            auto& init = static_cast<TrInitWksExp&>(record);
            init.handleDest = &block_;
            init.sizeDest = &blockSize_;
        }
        const int status = manager_->Call([&] { return filter_->ExportObject(record); });
        // Only a traced session pays for its events.
        if (trace_)
            Note(Json{{"call", "ExportObject"},
                      {"record", record.GetTypeInfo()->GetName()},
                      {"status", status}});
        return status;
    }

    int End() {
        const int status = manager_->Call([&] { return filter_->EndExport(); });
        Note(Json{{"call", "EndExport"}, {"status", status}});
        return status;
    }

    /// Writes a delivered memory block to path byte for byte; false when none came.
    bool DeliverBlock(const std::string& path) {
        if (!block_)
            return false;
        const auto* bytes = static_cast<const unsigned char*>(GlobalLock(block_));
        Note(Json{{"memory", {{"size", blockSize_}, {"base64", Base64(bytes, blockSize_)}}}});
        const std::string_view data(reinterpret_cast<const char*>(bytes), blockSize_);
        std::string why;
        const bool ok = WriteWholeFile(Utf8ToAcp(path), data, why);
        GlobalUnlock(block_);
        if (!ok)
            throw std::runtime_error("cannot write '" + path + "': " + why);
        return true;
    }

    /// Ends the session without EndExport: the filter abandons what it began.
    void Abandon() { filter_.reset(); }

  private:
    void Note(const Json& event) {
        if (trace_)
            trace_->Write(event);
    }

    Trace* trace_;
    std::unique_ptr<HostManager> manager_;
    PluginLibrary plugin_;
    std::unique_ptr<IoExportFilter> filter_;
    HGLOBAL block_ = nullptr;
    uint32_t blockSize_ = 0;
};

/// The file a memory export writes before the filter reads it back into the block: in a new
/// folder of our own, so that no other file can be overwritten or read in its place, and under
/// the same name every time, so that traces do not change from run to run.
class ScratchFile {
  public:
    ScratchFile() {
        if (!folder_.Create("clipboard.txt"))
            throw std::runtime_error(
                std::string("cannot make a scratch folder for the memory export: ") +
                std::strerror(errno));
    }
    const std::string& Path() const { return folder_.FilePath(); }

  private:
    brisko::ScratchFolder folder_;
};

/// Calls visit for each record in order until it answers false.
using RecordVisitor = std::function<bool(TrBase&)>;
using RecordSource = std::function<void(const RecordVisitor&)>;

/// Begins, sends every record, ends; the exit status of the whole export.
int RunRecords(ExportSession& session, const Settings& s, const std::string& out,
               const RecordSource& source) {
    const bool toMemory = s.toMemory;
    std::optional<ScratchFile> scratch;
    if (toMemory)
        scratch.emplace();
    int status = session.Begin(toMemory ? scratch->Path() : out, s.interactive);
    if (status != 0) {
        if (!s.trace)
            std::fprintf(stderr, "dornel: the export was cancelled\n");
        return kExitStatus;
    }
    bool sawInit = false;
    source([&](TrBase& record) {
        if (toMemory && !sawInit && record.GetTypeInfo() != TrInitWksExp::GetClassTypeId()) {
            // The host names its destinations in the first record.
            TrInitWksExp init;
            status = session.Send(init, true);
            if (status != 0)
                return false;
        }
        sawInit = true;
        status = session.Send(record, toMemory);
        return status == 0;
    });
    if (status != 0) {
        session.Abandon();
        if (!s.trace)
            std::fprintf(stderr, "dornel: the export %s\n",
                         status == 3 ? "needs a capability the filter lacks" : "was cancelled");
        return kExitStatus;
    }
    if (toMemory && !sawInit) {
        TrInitWksExp init;
        status = session.Send(init, true);
        // The filter said no to the first record: it gets no EndExport, as after any refusal.
        if (status != 0) {
            session.Abandon();
            if (!s.trace)
                std::fprintf(stderr, "dornel: the export was cancelled\n");
            return kExitStatus;
        }
    }
    status = session.End();
    if (toMemory && !session.DeliverBlock(out) && !s.trace)
        std::fprintf(stderr, "dornel: no memory block was delivered\n");
    if (status == 1 && !s.trace)
        std::fprintf(stderr, "dornel: nothing was exported\n");
    return StatusExit(status);
}

/// The worksheet as export records, made one at a time: rows in order, empty cells as records of
/// their own, a blank row as one empty cell, and a date format before each dated number.
void VisitWorksheet(const Worksheet& sheet, const RecordVisitor& visit) {
    TrInitWksExp init;
    if (!visit(init))
        return;
    int date = 0, time = 0;
    // One text record serves every text cell, so that its buffer is allocated once.
    TrCell text(0, 0, brisko::RString());
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const int32_t row = static_cast<int32_t>(r);
        const std::span<const Cell> cells = sheet.Row(r);
        if (cells.empty()) {
            TrCell blank(row, 0);
            if (!visit(blank))
                return;
        }
        for (size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            const int32_t col = static_cast<int32_t>(c);
            if (cell.kind == Cell::Text) {
                text.row = row;
                text.col = col;
                text.text = Utf8ToAcp(sheet.Text(cell));
                if (!visit(text))
                    return;
            } else if (cell.kind == Cell::Number) {
                if (cell.dateFormat != date || cell.timeFormat != time) {
                    TrCellFmt format(row, col, 0);
                    char text[40];
                    brisko::WQMapFmtTypesToExcelFmtStr(cell.dateFormat, cell.timeFormat, text);
                    const bool dated = cell.dateFormat != 0 || cell.timeFormat != 0;
                    format.mask = dated ? CELLFMT_DATE_MASK : 0;
                    format.category = dated ? CELLFMT_CATEGORY_DATE : 0;
                    format.format = brisko::RString(text);
                    if (!visit(format))
                        return;
                    date = cell.dateFormat;
                    time = cell.timeFormat;
                }
                TrCell number(row, col, cell.number);
                if (!visit(number))
                    return;
            } else {
                TrCell empty(row, col);
                if (!visit(empty))
                    return;
            }
        }
    }
}

}  // namespace

int RunExport(const Settings& s) {
    std::vector<OwnedRecord> records;
    try {
        records = ReadRecordsFile(s.records);
    } catch (const std::runtime_error& e) {
        throw UsageError(e.what());
    }
    Trace trace(stdout);
    ExportSession session(s, KindFor(s.kind, s.output), s.optionsGiven ? &s.options : nullptr,
                          s.trace ? &trace : nullptr);
    return RunRecords(session, s, s.output, [&](const RecordVisitor& visit) {
        for (OwnedRecord& r : records)
            if (!visit(*r.record))
                return;
    });
}

int RunConvert(const Settings& s) {
    Trace trace(stdout);
    Trace* t = s.trace ? &trace : nullptr;
    Worksheet sheet;
    {
        const InputFile input(s.file);
        SheetBuilder builder(sheet);
        const int kind = KindFor(s.importKind, s.file);
        auto manager = MakeManager(s, t);
        manager->SetFormatKey(brisko::RString(kFormatKeys[kind]));
        manager->SetSink(&builder);
        PluginLibrary plugin(s.plugin);
        std::unique_ptr<IoImportFilter> filter(plugin.Import(kind)(*manager));
        if (!filter)
            throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
        if (s.importOptionsGiven) {
            manager->Call(
                [&] { filter->ApplyStringOptions(brisko::RString(Utf8ToAcp(s.importOptions))); });
            WarnUnusedEntries(s.importOptions, *manager);
        }
        int status;
        try {
            status = manager->Call([&] {
                return filter->ImportFile(brisko::RString(Utf8ToAcp(input.Path())), false);
            });
        } catch (const brisko::Exception& e) {
            throw input.Renamed(e);
        }
        builder.Finish();
        if (t)
            t->Write(Json{{"call", "ImportFile"}, {"status", status}});
        if (status != 0) {
            if (!s.trace)
                std::fprintf(stderr, "dornel: the import did not finish; nothing was exported\n");
            return kExitStatus;
        }
    }
    ExportSession session(s, KindFor(s.exportKind, s.output),
                          s.exportOptionsGiven ? &s.exportOptions : nullptr, t);
    return RunRecords(session, s, s.output,
                      [&](const RecordVisitor& visit) { VisitWorksheet(sheet, visit); });
}

}  // namespace dornel::app
