// dornel export and dornel convert: records handed to the export filter, and the memory block
// of a clipboard export.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "InputFile.h"
#include "Output.h"
#include "PluginLibrary.h"
#include "RowChannel.h"
#include "RowRecords.h"
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
        : ExportSession(s, kind, trace) {
        ApplyOptions(options);
    }

    /// A session whose option string comes later, through ApplyOptions.
    ExportSession(const Settings& s, int kind, Trace* trace)
        : trace_(trace),
          manager_(MakeManager(s, trace, "export", kind)),
          plugin_(s.plugin),
          save_(s.save) {
        filter_.reset(plugin_.Export(kind)(*manager_));
        if (!filter_)
            throw std::runtime_error(std::string(kExportFactoryNames[kind]) + " made no filter");
    }

    /// Hands the host option string, if any, to the filter.
    void ApplyOptions(const std::string* options) {
        if (options) {
            ApplyOptionString(*manager_, *filter_, *options, save_);
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

    /// Runs stream, which sends the export's records, as one call into the filter. An export
    /// sends a record for every cell, and a call's own work (a batch of the store's writes, which
    /// the records never make) would cost a good part of what the filter does with a cell.
    template <class Stream>
    void Records(Stream&& stream) {
        manager_->Call([&] { stream(); });
    }

    /// Hands one record over, within Records; with toMemory a TrInitWksExp gets the session's
    /// destinations.
    int Send(TrBase& record, bool toMemory) {
        if (toMemory && record.GetTypeInfo() == TrInitWksExp::GetClassTypeId()) {
            auto& init = static_cast<TrInitWksExp&>(record);
            init.handleDest = &block_;
            init.sizeDest = &blockSize_;
        }
        const int status = filter_->ExportObject(record);
        // Only a traced session pays for its events.
        if (trace_) [[unlikely]]
            NoteSent(record, status);
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

    // Out of line, so that an untraced record needs no stack frame for the event.
    [[gnu::noinline]] void NoteSent(const TrBase& record, int status) {
        Note(Json{{"call", "ExportObject"},
                  {"record", record.GetTypeInfo()->GetName()},
                  {"status", status}});
    }

    Trace* trace_;
    std::unique_ptr<HostManager> manager_;
    PluginLibrary plugin_;
    std::unique_ptr<IoExportFilter> filter_;
    bool save_;
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

/// Before the first record of a memory export, unless that is one: the TrInitWksExp that takes
/// the block's destinations. False when the filter refused it. Out of line, so that the records
/// after it need no stack frame for it.
[[gnu::noinline]] bool SendInitBefore(ExportSession& session, TrBase& first, int& status) {
    if (first.GetTypeInfo() == TrInitWksExp::GetClassTypeId())
        return true;
    TrInitWksExp init;
    status = session.Send(init, true);
    return status == 0;
}

/// Begins, sends every record, ends; the exit status of the whole export. What the user should
/// be told goes to notice, for the caller to show once it knows the export's fate. The source
/// is called once with the visitor that sends a record, and calls it for each record until it
/// answers false.
template <class Source>
int RunRecords(ExportSession& session, const Settings& s, const std::string& out, Source&& source,
               std::string& notice) {
    const auto tell = [&](const char* text) {
        if (!s.trace)
            notice += std::string("dornel: ") + text + "\n";
    };
    const bool toMemory = s.toMemory;
    std::optional<ScratchFile> scratch;
    if (toMemory)
        scratch.emplace();
    const brisko::WriteTarget target = brisko::WriteTarget::Resolve(OutputPath(out));
    const bool existed = !toMemory && target.exists && !target.inPlace;
    int status = session.Begin(toMemory ? scratch->Path() : OutputPath(out), s.interactive);
    if (status != 0) {
        tell("the export was cancelled");
        return kExitStatus;
    }
    // The host names a memory block's destinations in the first record.
    bool sawInit = !toMemory;
    auto send = [&](TrBase& record) {
        if (!sawInit) [[unlikely]] {
            if (!SendInitBefore(session, record, status))
                return false;
            sawInit = true;
        }
        status = session.Send(record, toMemory);
        return status == 0;
    };
    bool initRefused = false;
    session.Records([&] {
        source(send);
        if (status == 0 && !sawInit) {
            TrInitWksExp init;
            status = session.Send(init, true);
            initRefused = status != 0;
        }
    });
    // The filter said no to the first record: it gets no EndExport, as after any refusal.
    if (initRefused) {
        session.Abandon();
        tell("the export was cancelled");
        return kExitStatus;
    }
    if (status != 0) {
        session.Abandon();
        tell(status == 3 ? "the export needs a capability the filter lacks"
                         : "the export was cancelled");
        return kExitStatus;
    }
    // A trace that cannot be written fails the run: it must do so before the target is replaced.
    if (s.trace)
        FlushOutput(stdout);
    status = session.End();
    if (toMemory && !session.DeliverBlock(OutputPath(out)))
        tell("no memory block was delivered");
    if (status == 1 && existed)
        tell(("nothing was exported; '" + out + "' was kept as it was").c_str());
    else if (status == 1)
        tell("nothing was exported");
    return StatusExit(status);
}

/// RunRecords, telling the user at once.
template <class Source>
int RunRecordsAndTell(ExportSession& session, const Settings& s, const std::string& out,
                      Source&& source) {
    std::string notice;
    const int exit = RunRecords(session, s, out, source, notice);
    std::fputs(notice.c_str(), stderr);
    return exit;
}

}  // namespace

namespace {

/// The trace and an output to standard output cannot share it.
void CheckOutputBesideTrace(const Settings& s) {
    if (s.trace && (s.output == "-" || s.output == "/dev/stdout"))
        throw UsageError("--trace and the output '" + s.output +
                         "' would both go to standard output; write the output to a file");
}

}  // namespace

int RunExport(const Settings& s) {
    CheckOutputBesideTrace(s);
    std::vector<OwnedRecord> records;
    try {
        records = ReadRecordsFile(s.records);
    } catch (const std::runtime_error& e) {
        throw UsageError(e.what());
    }
    Trace trace(stdout);
    ExportSession session(s, OutputKindFor(s.kind, s.output, 0),
                          s.optionsGiven ? &s.options : nullptr, s.trace ? &trace : nullptr);
    return RunRecordsAndTell(session, s, s.output, [&](auto& visit) {
        for (OwnedRecord& r : records)
            if (!visit(*r.record))
                return;
    });
}

namespace {

/// The import half of a convert: the import filter on the input, its records going to a sink.
class ConvertImport {
  public:
    ConvertImport(const Settings& s, const InputFile& input, RecordSink& sink, Trace* trace)
        : input_(input),
          kind_(KindFor(s.importKind, s.file)),
          manager_(MakeManager(s, trace, "import", kind_)),
          plugin_(s.plugin),
          interactive_(s.interactive) {
        manager_->SetFormatKey(brisko::RString(kFormatKeys[kind_]));
        manager_->SetSink(&sink);
        filter_.reset(plugin_.Import(kind_)(*manager_));
        if (!filter_)
            throw std::runtime_error(std::string(kImportFactoryNames[kind_]) + " made no filter");
        if (s.importOptionsGiven) {
            ApplyOptionString(*manager_, *filter_, s.importOptions, s.save);
            WarnUnusedEntries(s.importOptions, *manager_);
        }
    }

    /// ImportFile's status; an error names the input as the user gave it.
    int Run() {
        try {
            return manager_->Call([&] {
                return filter_->ImportFile(brisko::RString(Utf8ToAcp(input_.Path())), interactive_);
            });
        } catch (const brisko::Exception& e) {
            throw input_.Renamed(e);
        }
    }

  private:
    const InputFile& input_;
    int kind_;
    std::unique_ptr<HostManager> manager_;
    PluginLibrary plugin_;
    bool interactive_;  ///< the import's options dialog shows, as the export's does
    std::unique_ptr<IoImportFilter> filter_;
};

constexpr const char* kImportDidNotFinish =
    "dornel: the import did not finish; nothing was exported\n";

/// The whole worksheet first, then the export: for traces, dialogs and memory blocks, whose
/// events must come in that order, and for imports that hand a cell back to an earlier row.
int ConvertInTurn(const Settings& s, const InputFile& input) {
    Trace trace(stdout);
    Trace* t = s.trace ? &trace : nullptr;
    Worksheet sheet;
    {
        SheetBuilder builder(sheet);
        ConvertImport import(s, input, builder.Sink(), t);
        const int status = import.Run();
        builder.Finish();
        if (t)
            t->Write(Json{{"call", "ImportFile"}, {"status", status}});
        if (status != 0) {
            if (!s.trace)
                std::fputs(kImportDidNotFinish, stderr);
            return kExitStatus;
        }
    }
    ExportSession session(s, OutputKindFor(s.exportKind, s.output, KindFor(s.importKind, s.file)),
                          s.exportOptionsGiven ? &s.exportOptions : nullptr, t);
    return RunRecordsAndTell(session, s, s.output,
                             [&](auto& visit) { VisitWorksheet(sheet, visit); });
}

/// Rows stopped coming before the import finished: the export is abandoned.
struct RowsEndedEarly {};

/// The export on a second thread, each row exported as soon as the import completes it, so that
/// the two halves overlap and no worksheet is kept. What the user sees is what ConvertInTurn
/// gives: the export's outcome is told only once the import is known to have finished, and an
/// import that fails leaves the output as it was. No value when the import handed a cell back to
/// a row already exported: the caller then converts in turn.
std::optional<int> ConvertOverlapped(const Settings& s, const InputFile& input) {
    RowChannel channel;
    ConvertImport import(s, input, channel, nullptr);
    ExportSession session(s, OutputKindFor(s.exportKind, s.output, KindFor(s.importKind, s.file)),
                          nullptr);
    int exportExit = kExitOk;
    std::string notice;
    std::exception_ptr exportFailure;
    bool abandoned = false;
    std::thread exporter([&] {
        try {
            RowChannel::Row row;
            bool finished = false;
            // The export's options go in only once the import has read its own and begun.
            bool haveRow = channel.Next(row, finished);
            session.ApplyOptions(s.exportOptionsGiven ? &s.exportOptions : nullptr);
            exportExit = RunRecords(
                session, s, s.output,
                [&](auto& visit) {
                    RowRecords records(visit);
                    bool goOn = records.Begin();
                    while (goOn && haveRow) {
                        goOn = records.Row(row.number, row.cells, row.texts);
                        haveRow = goOn && channel.Next(row, finished);
                    }
                    // A refused record ends the export; the import's rows are not needed.
                    if (!goOn)
                        return;
                    if (!finished)
                        throw RowsEndedEarly{};
                },
                notice);
        } catch (const RowsEndedEarly&) {
            abandoned = true;
        } catch (...) {
            exportFailure = std::current_exception();
        }
        // However the export ended, the import must not wait for it to take more rows.
        channel.Stop();
    });
    struct Joiner {
        RowChannel& channel;
        std::thread& thread;
        ~Joiner() {
            if (thread.joinable()) {
                channel.Close(false);
                thread.join();
            }
        }
    } joiner{channel, exporter};

    const int status = import.Run();
    channel.Close(status == 0);
    exporter.join();
    if (channel.Diverged() || status != 0 || abandoned) {
        session.Abandon();
        if (channel.Diverged())
            return std::nullopt;
        std::fputs(kImportDidNotFinish, stderr);
        return kExitStatus;
    }
    if (exportFailure)
        std::rethrow_exception(exportFailure);
    std::fputs(notice.c_str(), stderr);
    return exportExit;
}

}  // namespace

int RunConvert(const Settings& s) {
    CheckOutputBesideTrace(s);
    const InputFile input(s.file);
    if (!s.trace && !s.interactive && !s.toMemory)
        if (const std::optional<int> exit = ConvertOverlapped(s, input))
            return *exit;
    return ConvertInTurn(s, input);
}

}  // namespace dornel::app
