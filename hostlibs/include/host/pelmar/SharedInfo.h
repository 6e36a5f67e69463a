// The drawing library's shared screen information.
#pragma once

#include "host/HostApi.h"

namespace pelmar {

class PELMAR_API SharedInfo {
  public:
    /// Pixels per logical inch of the screen.
    int GetLogPixelsY() const { return logPixelsY_; }
    int GetLogPixelsX() const { return logPixelsX_; }
    void SetLogPixels(int x, int y) {
        logPixelsX_ = x;
        logPixelsY_ = y;
    }

  private:
    int logPixelsX_ = 96;
    int logPixelsY_ = 96;
};

template <class T>
class Singleton {
  public:
    static T& Instance();
};

template <>
PELMAR_API SharedInfo& Singleton<SharedInfo>::Instance();

}  // namespace pelmar
