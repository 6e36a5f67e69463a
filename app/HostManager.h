// The host program's I/O manager: the store, the worksheet the records go to, the trace of
// every call the plug-in makes, and the switches that refuse records or cancel progress.
#pragma once

#include <map>
#include <set>
#include <string>
#include <type_traits>

#include "RecordSink.h"
#include "Trace.h"
#include "host/brisko/EncodingDetection.h"
#include "host/brisko/Exception.h"
#include "host/qorvix/IoManager.h"
#include "host/qorvix/OptionStore.h"

namespace dornel::app {

class HostManager : public qorvix::IoManager {
  public:
    /// storePath empty: a store in memory only. trace null: no trace, progress on the terminal.
    HostManager(const std::string& storePath, Trace* trace);
    ~HostManager() override;

    bool GetOption(const char* name, bool& value, bool persistent) override;
    bool GetOption(const char* name, int& value, bool persistent) override;
    bool GetOption(const char* name, unsigned int& value, bool persistent) override;
    bool GetOption(const char* name, brisko::RString& value, bool persistent) override;
    void SetOption(const char* name, bool value, bool persistent) override;
    void SetOption(const char* name, int value, bool persistent) override;
    void SetOption(const char* name, unsigned int value, bool persistent) override;
    void SetOption(const char* name, const char* value, bool persistent) override;
    bool GetStringOption(const brisko::RString& options, const char* name, bool& value) override;
    bool GetStringOption(const brisko::RString& options, const char* name, int& value) override;
    bool GetStringOption(const brisko::RString& options, const char* name,
                         unsigned int& value) override;
    bool GetStringOption(const brisko::RString& options, const char* name,
                         brisko::RString& value) override;

    void ProgressStart(const char* title, bool showCancel, bool showProportion) override;
    void ProgressMessage(const char* text) override;
    bool ProgressProportion(double fraction) override;
    bool ProgressIndeterminate() override;
    void ProgressStop() override;

    bool ImportObject(const qorvix::TrBase& record) override;
    /// ImportObject where records are traced or one is to be refused.
    bool ImportObjectWatched(const qorvix::TrBase& record);
    int Warning(int style, const char* text) override;
    void ShowHelp(const char* topic, const char* second) override;

    /// Runs one call of a filter. The persistent option writes it makes go out as one save of
    /// the store before Call returns. An error that names a value read from the store file gets
    /// the option and the store named too, so that a user can repair a value that cannot work.
    template <class F>
    auto Call(F&& call) -> decltype(call());

    /// The trace names a reader of path as name ("-" for a spooled input); with an empty path,
    /// every reader (the scratch file of a memory block).
    void NameReaderPath(const std::string& path, const std::string& name);
    /// Writes the trace's line about a reader that was opened or whose encoding changed, and
    /// keeps what a closing reader could not decode.
    void NoteReader(const std::string& path, const brisko::EncodingDecision& decision,
                    brisko::ReaderEvent event);
    /// Says on standard error, once per file, how many bytes could not be decoded and the line
    /// of the first ("3 bytes could not be decoded, first at line 12"). The reader that read
    /// most of a file tells: a file is opened more than once, and not always read to its end.
    void SayUndecodable();

    /// Sets an option as the host itself does (--set): not traced, never saved.
    void HostSetOption(const std::string& name, const std::string& value);

    /// While set, the filter's persistent writes last this run only: an option string given on
    /// the command line is for one run unless the user asks to save it.
    void SetOneOff(bool oneOff) { oneOff_ = oneOff; }
    /// Whether a stored value the filter reads is said on standard error (the default).
    void SetTellStored(bool tell) { tellStored_ = tell; }

    void SetSink(RecordSink* sink) { sink_ = sink; }
    void SetRefuse(long n) { refuseAt_ = n; }
    void SetCancelProgress(long n) { cancelAt_ = n; }
    void SetWarningAnswer(int answer) { warningAnswer_ = answer; }
    /// Option-string entries the plug-in looked up, lower-cased.
    const std::set<std::string>& LookedUp() const { return lookedUp_; }
    /// Entries looked up as a bool, int or uint whose text is none, lower-cased, with the type.
    const std::map<std::string, std::string>& Unparsed() const { return unparsed_; }

  private:
    void BeginCall() {
        if (calls_++ == 0)
            store_.BeginBatch();
    }
    void EndCall();
    /// Ends a call that threw: saves what it wrote, and says so if even that fails.
    void AbandonCall() noexcept;
    brisko::Exception Explain(const brisko::Exception& error);
    void TraceOption(const char* call, const char* name, const char* type, bool persistent,
                     bool found, const Json& value);
    void NoteLookup(const char* name);
    void NoteRead(const char* name);
    void NoteUnparsed(const brisko::RString& options, const char* name, const char* type);
    bool NextProgressAnswer();
    // Out of line, so that a record not traced needs no stack frame.
    [[gnu::noinline]] void TraceRecord(const qorvix::TrBase& record, bool accepted);
    [[gnu::noinline]] void TraceProgressIndeterminate(bool goOn);

    Trace* trace_;
    RecordSink* sink_ = nullptr;
    long refuseAt_ = 0;
    long cancelAt_ = 0;
    long records_ = 0;
    long progressQueries_ = 0;
    int warningAnswer_ = 6;
    bool oneOff_ = false;
    std::set<std::string> lookedUp_;
    std::map<std::string, std::string> unparsed_;
    std::set<std::string> written_;     // options set in this run, lower-cased
    std::set<std::string> toldStored_;  // stored values said to be used
    bool tellStored_ = true;
    std::set<std::string> readOptions_;  // options the filter read and found
    int calls_ = 0;
    // Looked up once: every call into the filter, one per exported cell, begins and ends a batch.
    qorvix::OptionStore& store_;
    std::string readerPath_;
    std::string readerName_;
    struct Undecodable {
        uint64_t bytes = 0;
        int64_t line = 0;
        int64_t offset = 0;
    };
    std::map<std::string, Undecodable> undecodable_;  // by the name the user gave
};

template <class F>
auto HostManager::Call(F&& call) -> decltype(call()) {
    BeginCall();
    try {
        if constexpr (std::is_void_v<decltype(call())>) {
            call();
            EndCall();
        } else {
            auto result = call();
            EndCall();
            return result;
        }
    } catch (const brisko::Exception& e) {
        AbandonCall();
        throw Explain(e);
    } catch (...) {
        AbandonCall();
        throw;
    }
}

}  // namespace dornel::app
