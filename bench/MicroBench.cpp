// Micro-benchmarks: the reader over a decoded buffer, the converter, the writer's number text,
// and decoding.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "export/NumberText.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "import/BlockSplitter.h"
#include "import/DatImportFilter.h"
#include "RowStream.h"
#include "Worksheet.h"

namespace {

using namespace dornel;

/// A manager that takes every record and keeps none.
class NullManager : public qorvix::IoManager {
  public:
    bool ImportObject(const qorvix::TrBase&) override { return true; }
};

std::string MixedText(size_t bytes) {
    std::mt19937 rng(7);
    std::string s;
    while (s.size() < bytes) {
        s += std::to_string(rng() % 100000) + "," + std::to_string((rng() % 100000) / 100.0) +
             ",\"text, with comma\",," + std::to_string(static_cast<int>(rng() % 9999) - 5000) +
             ",2024-03-05,1.5e-3\n";
    }
    return s;
}

std::string WriteTemp(const std::string& name, const std::string& bytes) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

/// The fields of a megabyte of mixed CSV, read whole on each iteration by read, which counts
/// them.
template <class Read>
void ReadMixedFields(benchmark::State& state, Read read) {
    const std::string text = MixedText(1 << 20);
    const std::string path = WriteTemp("dornel-bench-read.csv", text);
    NullManager manager;
    DatImportFilter filter(manager, KIND_CSV);
    filter.delimiters = ",";
    filter.qualifiers = "\"";
    filter.reading.BuildCharClasses();
    for (auto _ : state) {
        filter.reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(
            brisko::RString(path), "r", 3, brisko::TE_ANSI, 65001, true, false);
        benchmark::DoNotOptimize(read(filter));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void ReadFieldMixed(benchmark::State& state) {
    ReadMixedFields(state, [](DatImportFilter& filter) {
        size_t fields = 0;
        while (filter.reading.ReadField() != kEof)
            ++fields;
        return fields;
    });
}
BENCHMARK(ReadFieldMixed);

/// The same fields as the import's reading thread splits them: from masks, ReadField where the
/// masks do not serve.
void SplitFieldsMixed(benchmark::State& state) {
    ReadMixedFields(state, [](DatImportFilter& filter) {
        BlockSplitter splitter(filter.reading);
        size_t fields = 0;
        for (;;) {
            char16_t t;
            int length;
            bool quoted;
            if (!splitter.Next(t, length, quoted)) {
                t = filter.reading.ReadField();
                splitter.Resync();
            }
            if (t == kEof)
                return fields;
            ++fields;
        }
    });
}
BENCHMARK(SplitFieldsMixed);

void EmitFieldOf(benchmark::State& state, const char16_t* field, bool quoted) {
    NullManager manager;
    DatImportFilter filter(manager, KIND_CSV);
    std::u16string f(field);
    std::copy(f.begin(), f.end(), filter.reading.fieldBuffer.begin());
    filter.reading.fieldBuffer[f.size()] = 0;
    filter.reading.fieldLength = static_cast<int>(f.size());
    filter.reading.fieldQuoted = quoted;
    uint32_t row = 0;
    for (auto _ : state) {
        uint32_t col = 0;
        benchmark::DoNotOptimize(filter.EmitField(row, col, u','));
    }
    state.SetItemsProcessed(state.iterations());
}
void EmitFieldNumber(benchmark::State& state) {
    EmitFieldOf(state, u"-1234.5678", false);
}
void EmitFieldText(benchmark::State& state) {
    EmitFieldOf(state, u"text, with comma", true);
}
void EmitFieldUnquotedText(benchmark::State& state) {
    EmitFieldOf(state, u"alpha beta", false);
}
BENCHMARK(EmitFieldNumber);
BENCHMARK(EmitFieldText);
BENCHMARK(EmitFieldUnquotedText);

/// Number text of values read from text (a few decimals) or computed (all 17 digits), in UTF-16
/// units or in the bytes of an output that takes ASCII as it is.
template <class Unit>
void NumberText(benchmark::State& state) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> dist(-1e6, 1e6);
    std::vector<double> values(4096);
    // Read from text, columns as the bench files have them: whole numbers, four decimals,
    // seven significant digits below one, two decimals.
    static constexpr double kScales[] = {1, 1e4, 1e7, 1e2};
    for (size_t i = 0; i < values.size(); ++i) {
        const double scale = kScales[i % 4];
        const double v = i % 4 == 2 ? std::fabs(dist(rng)) / 1e6 : dist(rng);
        values[i] = state.range(0) ? dist(rng) : std::round(v * scale) / scale;
    }
    Unit out[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatNumber14G(values[i++ & 4095], out));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(NumberText, char16_t)->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(NumberText, char)->Arg(0)->Arg(1);

/// The CSV view's number fields, for the numbers of the bench's numeric file, read from their text
/// as an import reads them: a row number, four decimals, a whole number, seven significant digits
/// below one, two decimals.
void CsvNumberField(benchmark::State& state) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<app::Cell> cells(5 * 1024);
    char text[64];
    for (size_t i = 0; i < cells.size(); ++i) {
        const size_t row = i / 5;
        switch (i % 5) {
            case 0:
                std::snprintf(text, sizeof text, "%zu", 1000000 + row);
                break;
            case 1:
                std::snprintf(text, sizeof text, "%.4f", unit(rng) * 1000);
                break;
            case 2:
                std::snprintf(text, sizeof text, "%d", static_cast<int>(rng() % 10001) - 5000);
                break;
            case 3:
                std::snprintf(text, sizeof text, "%.6e", unit(rng));
                break;
            default:
                std::snprintf(text, sizeof text, "%.2f", unit(rng) * 100);
                break;
        }
        cells[i].kind = app::Cell::Number;
        cells[i].number = std::strtod(text, nullptr);
    }
    char out[128];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(app::WriteCsvField(out, cells[i], {}));
        benchmark::ClobberMemory();
        i = i + 1 == cells.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CsvNumberField);

void Decode(benchmark::State& state, const std::string& bytes, int encoding, uint32_t page) {
    const std::string path = WriteTemp("dornel-bench-decode.txt", bytes);
    for (auto _ : state) {
        brisko::CEncodedBufferedFile f(brisko::RString(path), "r", 3, encoding, page, true, false);
        size_t n = 0;
        while (f.Getc() != brisko::kEndOfFile)
            ++n;
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
void DecodeUtf8(benchmark::State& state) {
    std::string s;
    while (s.size() < (1 << 20))
        s += "caf\xC3\xA9, na\xC3\xAFve, 12.5, \xE2\x82\xAC 3\n";
    Decode(state, s, brisko::TE_UTF8, 0);
}
void DecodeUtf16(benchmark::State& state) {
    std::string s;
    while (s.size() < (1 << 20))
        s += std::string(
            "c\0a\0f\0\xE9\0,\0 \0"
            "1\0"
            "2\0\n\0",
            18);
    Decode(state, s, brisko::TE_UTF16LE, 0);
}
void Decode1252(benchmark::State& state) {
    std::string s;
    while (s.size() < (1 << 20))
        s += "caf\xE9, na\xEFve, 12.5, \x80 3\n";
    Decode(state, s, brisko::TE_ANSI, 1252);
}
BENCHMARK(DecodeUtf8);
BENCHMARK(DecodeUtf16);
BENCHMARK(Decode1252);

}  // namespace

BENCHMARK_MAIN();
