// Type identities of host records.
#pragma once

#include "host/HostApi.h"

namespace brisko {

/// One object per record class; classes are compared by the identity's address.
class BRISKO_API CTypeInfo {
  public:
    explicit constexpr CTypeInfo(const char* name) : name_(name) {}
    const char* GetName() const { return name_; }

  private:
    const char* name_;
};

}  // namespace brisko
