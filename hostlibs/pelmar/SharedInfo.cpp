// The drawing library's shared screen information.
#include "host/pelmar/SharedInfo.h"

namespace pelmar {

template <>
SharedInfo& Singleton<SharedInfo>::Instance() {
    static SharedInfo instance;
    return instance;
}

}  // namespace pelmar
