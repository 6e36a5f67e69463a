// The host's I/O manager: option store, progress display, host window, format key, worksheet.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace qorvix {

class TrBase;
class OptionStore;
struct OptionValue;
class IoManager;
/// The store behind a manager, for the host that owns both (see OptionStore.h).
QORVIX_API OptionStore& StoreOf(IoManager& manager);

using HostWindow = void*;

/// Answers of Warning: 6 yes, 7 no.
enum WarnAnswer : int { WARN_YES = 6, WARN_NO = 7 };
/// Styles of Warning; 2 asks a yes/no question.
enum WarnStyle : int { WARN_OK = 0, WARN_OK_CANCEL = 1, WARN_YES_NO = 2 };

/// The manager a host gives to every filter. Its operations are virtual so that a host can
/// watch or answer them (the host program traces them and counts progress queries).
///
/// Options: named values of four types. Every read and write goes to the current values, which
/// start as the store file's content (read at the first use); a write with persistent true also
/// saves the file, atomically and merged with what other processes saved meanwhile: at once, or,
/// while the host holds a batch open around a call of a filter, once when the batch ends. A store
/// file that cannot be used (a directory, damaged) is named once on standard error; reads then
/// find only the values set in this session, and a persistent write throws. A read returns the
/// latest value whatever flag wrote it; the flag of a read is not looked at. A read converts
/// between types where nothing is lost: a whole number in text form reads as int or unsigned int,
/// "true"/"false" and 0/1 read as bool, and any value reads as text. A value that cannot be
/// converted counts as absent.
///
/// Scopes: the host names the scope of the filter it serves (OptionStore.h); reads look there,
/// then in the shared scope, and writes go there. A persistent write that cannot be saved (no
/// home, a folder that may not be written, a lock held too long) leaves the value in this session,
/// says once on standard error which store and why, and lets the operation go on.
class QORVIX_API IoManager {
  public:
    /// An empty store that is never saved.
    IoManager();
    /// The store file at storePath: read at the first use, written by persistent writes.
    explicit IoManager(const brisko::RString& storePath);
    virtual ~IoManager();
    IoManager(const IoManager&) = delete;
    IoManager& operator=(const IoManager&) = delete;

    virtual bool GetOption(const char* name, bool& value, bool persistent);
    virtual bool GetOption(const char* name, int& value, bool persistent);
    virtual bool GetOption(const char* name, unsigned int& value, bool persistent);
    virtual bool GetOption(const char* name, brisko::RString& value, bool persistent);
    virtual void SetOption(const char* name, bool value, bool persistent);
    virtual void SetOption(const char* name, int value, bool persistent);
    virtual void SetOption(const char* name, unsigned int value, bool persistent);
    virtual void SetOption(const char* name, const char* value, bool persistent);
    void SetOption(const char* name, const brisko::RString& value, bool persistent) {
        SetOption(name, value.c_str(), persistent);
    }

    /// Reads the named entry of a host option string (separator ';'); converts as GetOption.
    virtual bool GetStringOption(const brisko::RString& options, const char* name, bool& value);
    virtual bool GetStringOption(const brisko::RString& options, const char* name, int& value);
    virtual bool GetStringOption(const brisko::RString& options, const char* name,
                                 unsigned int& value);
    virtual bool GetStringOption(const brisko::RString& options, const char* name,
                                 brisko::RString& value);

    /// The scope of the filter this manager serves; the shared scope until set.
    void SetOptionScope(const std::string& scope);
    const std::string& GetOptionScope() const;
    /// Says once on standard error that this run's options could not be saved, and why.
    void StoreNotSaved(const std::exception& error);

    /// The current options of the filter's scope and then the shared ones it does not hide, as
    /// name, value, name, value, in the order they were first set;
    /// values in text form (bools as "true"/"false").
    virtual void GetOptions(std::vector<brisko::RString>& list);

    /// Progress display: on standard error when it is a terminal, else nothing is shown.
    /// Proportion and Indeterminate answer false when the user cancelled.
    virtual void ProgressStart(const char* title, bool showCancel, bool showProportion);
    virtual void ProgressMessage(const char* text);
    virtual bool ProgressProportion(double fraction);
    virtual bool ProgressIndeterminate();
    virtual void ProgressStop();

    /// The host's worksheet: takes one record, false to make the filter stop.
    virtual bool ImportObject(const TrBase& record);

    /// Asks the user; this manager writes the question on standard error and answers yes.
    virtual int Warning(int style, const char* text);
    /// Shows a help topic; this manager names it on standard error.
    virtual void ShowHelp(const char* topic, const char* second);

    HostWindow GetHostWindow() const { return hostWindow_; }
    void SetHostWindow(HostWindow window) { hostWindow_ = window; }
    /// The format the host is asking about ("dat", "csv", "txt", "blnw", "bnaw").
    const brisko::RString& GetFormatKey() const { return formatKey_; }
    void SetFormatKey(const brisko::RString& key) { formatKey_ = key; }

  private:
    friend class ManagerState;
    struct State;
    bool LookUp(const char* name, OptionValue& value);
    void WriteOption(const char* name, const OptionValue& value, bool persistent);

    // The option store and the progress display: the host's business, not a filter's.
    std::unique_ptr<State> state_;
    HostWindow hostWindow_ = nullptr;
    brisko::RString formatKey_;
};

}  // namespace qorvix
