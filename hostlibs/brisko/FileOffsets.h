// 64-bit offsets in a C stream on every build (long is 32 bits on Windows). Internal to brisko.
#pragma once

#include <cstdint>
#include <cstdio>

namespace brisko {

int64_t Tell64(std::FILE* f);
int Seek64(std::FILE* f, int64_t offset, int origin);

}  // namespace brisko
