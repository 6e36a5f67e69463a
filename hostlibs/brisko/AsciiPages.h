// Which code pages give ASCII its own bytes. Internal to brisko.
#pragma once

#include <cstdint>

namespace brisko {

/// True for pages whose bytes below 0x80 are ASCII both ways: UTF-8, the Windows pages,
/// ISO 8859, the DOS Latin pages and the East Asian double-byte pages (whose lead bytes are
/// all above 0x7F). Text of such a page that is plain ASCII needs no converter.
bool KeepsAscii(uint32_t page);

}  // namespace brisko
