// The JSON Lines trace of a host session: records, host calls, call results, errors.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace qorvix {
class TrBase;
}

namespace dornel::app {

using Json = nlohmann::ordered_json;

/// Writes one JSON object per line, in the order of the events.
class Trace {
  public:
    explicit Trace(std::FILE* out) : out_(out) {}
    void Write(const Json& event);

  private:
    std::FILE* out_;
};

/// A record as its trace event.
Json RecordJson(const qorvix::TrBase& record);

/// 8-bit text of code page 0 as UTF-8.
std::string AcpToUtf8(std::string_view text);
/// UTF-8 as 8-bit text of code page 0.
std::string Utf8ToAcp(std::string_view text);
/// A double as JSON: a number that reads back to the same value, or a string for infinities
/// and NaN, which JSON cannot hold.
Json NumberJson(double value);

}  // namespace dornel::app
