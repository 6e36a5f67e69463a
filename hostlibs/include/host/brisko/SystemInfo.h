// System settings and the fixed-pitch face used by previews.
#pragma once

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace brisko {

/// One instance per process, made on first use and kept by the library, so that every module
/// sees the same one.
template <class T>
class Singleton {
  public:
    static T& Instance();
    static T& GetInstance() { return Instance(); }
};

/// Number conventions of the system.
class BRISKO_API CSystemInfo {
  public:
    /// ',' unless the host program is told otherwise.
    char DefThousandsChar() const { return thousandsChar_; }
    void SetDefThousandsChar(char c) { thousandsChar_ = c; }

  private:
    char thousandsChar_ = ',';
};

/// Text metrics of a font face, in the face's design units (an em of GetEmSize units).
struct OutlineTextMetrics {
    int tmHeight = 0;
    int tmAscent = 0;
    int tmDescent = 0;
    int tmAveCharWidth = 0;
    int tmWeight = 400;
    unsigned char tmCharSet = 0;
};

class BRISKO_API CFaceInfo {
  public:
    CFaceInfo(const char* faceName, const OutlineTextMetrics& metrics, int emSize)
        : faceName_(faceName), otm_(metrics), emSize_(emSize) {}
    const OutlineTextMetrics& GetOTM() const { return otm_; }
    const char* GetFaceName() const { return faceName_.c_str(); }
    int GetEmSize() const { return emSize_; }

  private:
    RString faceName_;
    OutlineTextMetrics otm_;
    int emSize_;
};

class BRISKO_API CSystemFaceInfo {
  public:
    CSystemFaceInfo();
    /// The system's default fixed-pitch face ("Courier New" metrics).
    const CFaceInfo& GetDefFixedPitchFaceInfo() const { return fixedPitch_; }

  private:
    CFaceInfo fixedPitch_;
};

template <>
BRISKO_API CSystemInfo& Singleton<CSystemInfo>::Instance();
template <>
BRISKO_API CSystemFaceInfo& Singleton<CSystemFaceInfo>::Instance();

constexpr double INCHES_PER_POINT = 1.0 / 72.0;

}  // namespace brisko
