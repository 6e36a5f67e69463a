// Which code pages give ASCII its own bytes. Internal to brisko.
#pragma once

#include <cstdint>

namespace brisko {

/// True for pages whose bytes below 0x80 are ASCII both ways: UTF-8, the Windows pages,
/// US-ASCII, ISO 8859-1, the DOS Latin and Cyrillic pages and the East Asian double-byte
/// pages (whose lead bytes are all above 0x7F). Text of such a page that is plain ASCII needs
/// no converter.
bool KeepsAscii(uint32_t page);
/// KeepsAscii of the system page (code page 0).
bool SystemPageKeepsAscii();

}  // namespace brisko
