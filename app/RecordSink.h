// Where the records an import hands to the host go: a worksheet, a view, an export.
#pragma once

namespace qorvix {
class TrBase;
}

namespace dornel::app {

/// Takes the records an import hands to the host, one at a time.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual void Take(const qorvix::TrBase& record) = 0;
};

}  // namespace dornel::app
