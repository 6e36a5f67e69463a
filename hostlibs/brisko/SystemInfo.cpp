// The process-wide system settings of the shared library.
#include "host/brisko/SystemInfo.h"

namespace brisko {

namespace {
// Courier New's design metrics (an em of 2048 units), the face previews draw cell texts with.
constexpr OutlineTextMetrics kCourierNew{2320, 1705, 615, 1229, 400, 0};
constexpr int kCourierNewEm = 2048;
}  // namespace

CSystemFaceInfo::CSystemFaceInfo() : fixedPitch_("Courier New", kCourierNew, kCourierNewEm) {}

template <>
CSystemInfo& Singleton<CSystemInfo>::Instance() {
    static CSystemInfo instance;
    return instance;
}

template <>
CSystemFaceInfo& Singleton<CSystemFaceInfo>::Instance() {
    static CSystemFaceInfo instance;
    return instance;
}

}  // namespace brisko
