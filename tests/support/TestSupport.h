// Small helpers shared by the test binaries: temporary folders and files, a recording manager.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/qorvix/IoManager.h"
#include "host/qorvix/Records.h"

namespace dornel::test {

/// A folder that exists for one test and is removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    /// The path of a file in the folder.
    std::string Path(const std::string& name) const;
    /// Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

  private:
    std::filesystem::path dir_;
};

std::string ReadBytes(const std::string& path);

/// A record written as one short line: "begin", "end", "empty 0 1", "number 0 1 2.5",
/// "text 0 1 abc", "format 0 1 yyyy-mm-dd".
std::string Describe(const qorvix::TrBase& record);

/// A manager that keeps the records it is handed and the progress calls it receives, and can
/// refuse the n-th record or cancel the n-th progress query.
class RecordingManager : public qorvix::IoManager {
  public:
    bool ImportObject(const qorvix::TrBase& record) override;
    void ProgressStart(const char*, bool, bool) override { events.push_back("start"); }
    void ProgressMessage(const char* text) override {
        events.push_back(std::string("message ") + text);
    }
    bool ProgressProportion(double fraction) override;
    bool ProgressIndeterminate() override;
    void ProgressStop() override { events.push_back("stop"); }
    int Warning(int style, const char* text) override;
    void ShowHelp(const char* topic, const char*) override {
        events.push_back(std::string("help ") + topic);
    }
    void SetOption(const char* name, bool value, bool persistent) override;
    void SetOption(const char* name, int value, bool persistent) override;
    void SetOption(const char* name, unsigned int value, bool persistent) override;
    void SetOption(const char* name, const char* value, bool persistent) override;
    using qorvix::IoManager::SetOption;

    std::vector<std::string> records;
    std::vector<std::string> events;
    /// Option writes as "Name=value" with " (session)" when persistent is false.
    std::vector<std::string> writes;
    int refuseAt = 0;
    int cancelAt = 0;
    int warningAnswer = 6;

  private:
    int seen_ = 0;
    int queries_ = 0;
};

}  // namespace dornel::test
