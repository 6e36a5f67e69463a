// Fuzz target: the writer's number text, in units and in bytes, against printf's. Any double, and
// decimals read from text as an import reads them, must be written as "%.14G" writes them, exponent
// widened.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "export/NumberText.h"
#include "../tests/support/PrintfNumber.h"

using namespace dornel;

namespace {

void Check(double value) {
    if (!std::isfinite(value))
        return;
    char16_t out[32];
    const size_t n = FormatNumber14G(value, out);
    const std::string expected = test::PrintfNumber14G(value);
    if (n != expected.size() || out[n] != 0)
        std::abort();
    for (size_t i = 0; i < n; ++i)
        if (out[i] != static_cast<unsigned char>(expected[i]))
            std::abort();
    // The bytes an output block takes where ASCII is written as it is.
    char bytes[32];
    if (FormatNumber14G(value, bytes) != n || bytes[n] != 0 ||
        std::memcmp(bytes, expected.data(), n))
        std::abort();
}

uint64_t Word(fuzz::FuzzInput& in) {
    uint64_t w = 0;
    for (int i = 0; i < 8; ++i)
        w = w << 8 | in.Byte();
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    // Any bit pattern.
    Check(std::bit_cast<double>(Word(in)));
    // A decimal of up to 17 digits with a point anywhere, as text holds it.
    const int digits = 1 + static_cast<int>(in.Below(17));
    std::string text = std::to_string(Word(in) % 100000000000000000ull).substr(0, digits);
    const int point = static_cast<int>(in.Below(static_cast<uint32_t>(text.size()) + 6));
    if (point <= static_cast<int>(text.size()))
        text.insert(static_cast<size_t>(point), ".");
    else
        text = "0." + std::string(static_cast<size_t>(point) - text.size(), '0') + text;
    const int exponent = static_cast<int>(in.Below(41)) - 20;
    text += "e" + std::to_string(exponent);
    const double value = std::strtod(text.c_str(), nullptr);
    Check(in.Bool() ? -value : value);
    return 0;
}
