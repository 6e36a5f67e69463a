// Reads an import's fields on a thread of its own, ahead of the cells that are made of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "host/brisko/BatchQueue.h"
#include "import/DatImportFilter.h"

namespace dornel {

/// The fields of an import in the order ReadField gives them, each trimmed at its end as the
/// import trims it, read by a second thread while the first makes cells: on two cores the
/// reading and the converting overlap. The fields travel in chunks, their texts side by side in
/// one buffer, so that handing a field over costs no allocation: a number the reading thread
/// scanned travels as its value alone, a text as one copy. A field sure to become a text cell
/// travels as bytes where it is plain ASCII: narrowing it here, while it is copied anyway, spares
/// the thread that makes the cells, the slower of the two, and halves the bytes such texts take
/// crossing to it.
///
/// What the consumer sees is exactly what it would see calling ReadField itself: the same
/// fields, the same terminators, the reader's position where progress asks for it, and a
/// failure of the reader at the field where it happened, not earlier. Reading ahead of the consumer
/// changes nothing it can observe; fields read past the point where the import stops are dropped.
///
/// The pipeline starts on a cache line of its own: it lives on the consumer's stack, and the
/// reading thread reads its first members for every field, while the consumer writes its own
/// locals for every field right beside it.
class alignas(kCacheLine) FieldPipeline {
  public:
    /// Which thread makes the number scan of a chunk's fields. The reading thread's scan spares
    /// the other one the field's text; the other's spares the reading thread the scan. Balanced,
    /// the reading thread scans a chunk unless the other thread had to wait for the last chunk
    /// it took: then the reader is the slower one and hands the scan over, so that the faster
    /// thread takes the work that can move. Either way the fields come out the same.
    enum class ScanOn { Balanced, Reader, Consumer };
    /// How the fields travel; tests make chunks small, so that fields cross their edges.
    struct Tuning {
        size_t chunkUnits = 160 * 1024;   ///< room for field texts; never below a longest field
        size_t chunkFields = 16 * 1024;   ///< fields a chunk holds
        int64_t threadFrom = 256 * 1024;  ///< shorter files (in bytes) are read without a thread
        ScanOn scanOn = ScanOn::Balanced;
    };
    static void SetTuning(const Tuning& tuning);
    static Tuning GetTuning();

    /// Starts reading at the reader's current position. While the pipeline lives, the reading
    /// belongs to it; the filter's options only decide where numbers are scanned.
    FieldPipeline(FieldReader& reading, const DatImportFilter& filter);
    ~FieldPipeline();
    FieldPipeline(const FieldPipeline&) = delete;
    FieldPipeline& operator=(const FieldPipeline&) = delete;

    /// The next field and what ended it; rethrows what the reader threw in its place. The text
    /// of a field the number scan found a number in is not kept: only its value is, and only
    /// the scan and the value of the view are set.
    char16_t Next(FieldView& field) {
        if (index_ == current_.count) [[unlikely]]
            TakeChunk();
        // The entries were written on the other thread's core; asking for them ahead hides the
        // wait where that core shares no cache with this one.
        __builtin_prefetch(current_.entries.items.get() + index_ + 64);
        const Entry& e = current_.entries.items[index_++];
        field.scan = static_cast<ScannedField>((e.lengthAndFlags >> kScanShift) & 3);
        field.value = e.value;
        // A number is its value alone: the rest is for the other fields.
        if (field.scan != ScannedField::Number) {
            field.text = current_.units.items.get() + e.start;
            field.length = e.lengthAndFlags & kLengthMask;
            field.quoted = (e.lengthAndFlags & kQuoted) != 0;
            field.ascii =
                e.lengthAndFlags & kAscii ? reinterpret_cast<const char*>(field.text) : nullptr;
        }
        if (e.lengthAndFlags & kNoted) [[unlikely]]
            position_ = current_.positions[noted_++];
        return e.terminator;
    }
    /// The reader's position after the last line-ending field taken, as of the last row whose
    /// number is a multiple of kProgressRows, where the import asks for it.
    int64_t Position() const { return position_; }

  private:
    // Sixteen bytes a field: what one thread writes, the other reads, and on machines whose
    // cores share no cache every byte of it crosses between them.
    struct Entry {
        double value;             // the number the scan found
        uint32_t start;           // in the chunk's units
        uint16_t lengthAndFlags;  // the length, and the flags below
        char16_t terminator;      // what ended the field
    };
    // StoreEntry writes the last three as one word, the start in its low bits.
    static_assert(offsetof(Entry, start) == 8 && offsetof(Entry, lengthAndFlags) == 12 &&
                  offsetof(Entry, terminator) == 14 && sizeof(Entry) == 16);
    static constexpr uint16_t kLengthMask = 0x3FF;
    static_assert(kFieldCapacity <= kLengthMask);
    static constexpr uint16_t kQuoted = 0x400;
    static constexpr int kScanShift = 11;  // two bits: the ScannedField
    static_assert(static_cast<int>(ScannedField::Unscanned) < 4);
    // The reader's position after the field is the chunk's next: after every kProgressRows-th
    // line end and at the end of the file.
    static constexpr uint16_t kNoted = 0x2000;
    // The text is bytes: the field goes to a text cell and is plain ASCII.
    static constexpr uint16_t kAscii = 0x4000;
    /// A buffer on whole cache lines of its own: the thread that fills a chunk must not share
    /// a line with any other object written often, or the two cores would pull that line back
    /// and forth wherever the heap happened to place the two side by side. Not set to zero: only
    /// what was written is read.
    template <class T>
    struct LineBuffer {
        struct Free {
            void operator()(T* p) const { ::operator delete[](p, std::align_val_t(kCacheLine)); }
        };
        std::unique_ptr<T[], Free> items;
        void Allocate(size_t count) {
            const size_t bytes = (count * sizeof(T) + kCacheLine - 1) / kCacheLine * kCacheLine;
            items.reset(static_cast<T*>(::operator new[](bytes, std::align_val_t(kCacheLine))));
        }
    };
    struct Chunk {
        LineBuffer<char16_t> units;
        LineBuffer<Entry> entries;
        std::vector<int64_t> positions;  // of the noted fields, in order
        size_t count = 0;
        bool last = false;  // its last field ends the file
    };
    /// Chunks filled ahead of the consumer (each some 600 KB). A view that writes its rows on a
    /// third thread shares two cores among three: with room for only a few chunks, the reader
    /// would wait whenever another thread was descheduled.
    static constexpr size_t kChunksUnderWay = 16;

    /// Reads the next fields into chunk; scan: whether to make their number scan. Gives what
    /// the reader threw in place of the field after the chunk's last one, if it threw.
    template <bool Stream>
    std::exception_ptr Fill(Chunk& chunk, bool scan);
    /// The tuning, with chunks no larger than a file of length bytes needs.
    static Tuning FittedTuning(int64_t length);
    void TakeChunk();
    void Run();
    Chunk MakeChunk() const;

    FieldReader& reading_;
    const DatImportFilter& filter_;
    const bool otherDecimal_;  // fixed for the whole import
    const Tuning tuning_;
    // The consumer's own, apart from what both threads touch.
    alignas(kCacheLine) Chunk current_;
    size_t index_ = 0;
    size_t noted_ = 0;  // positions of current_ taken
    int64_t position_ = 0;
    bool finished_ = false;       // the last chunk was taken
    std::exception_ptr failure_;  // the reading's, met once the fields read before it are taken

    alignas(kCacheLine) brisko::BatchQueue<Chunk> queue_{kChunksUnderWay};
    std::thread thread_;
    // The reading thread's own, written for every line: beside the consumer's locals on the
    // stack, the two cores would pull the line back and forth.
    alignas(kCacheLine) uint32_t lineEnds_ = 0;  // line-ending fields read
};

/// The same fields read on the calling thread, one after another: the plain way, which the
/// pipeline must equal.
class PlainFields {
  public:
    explicit PlainFields(FieldReader& reading) : reading_(reading) {}
    char16_t Next(FieldView& field) {
        const char16_t t = reading_.ReadField();
        reading_.TrimFieldEnd();
        field = reading_.View();
        return t;
    }
    int64_t Position() const { return reading_.reader->GetPosition(); }

  private:
    FieldReader& reading_;
};

}  // namespace dornel
