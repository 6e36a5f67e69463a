// The fields of an import, read on a second thread.
#include "import/FieldPipeline.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <system_error>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "import/BlockSplitter.h"

namespace dornel {

namespace {

/// Field texts start at multiples of this many units, so that they can be stored a whole
/// sixteen bytes at a time.
constexpr size_t kTextAlign = 8;
static_assert((kFieldCapacity + 1) % kTextAlign == 0, "the field buffer ends on a whole piece");

/// Where the next text after one of this many units (its zero included) begins.
constexpr size_t AlignedUnits(size_t units) {
    return (units + kTextAlign - 1) / kTextAlign * kTextAlign;
}

// The reading thread hands chunks over and takes them back once read. Their lines were last
// read on the consumer's core, and storing into them in the usual way first takes each line back
// from that core: where the two cores share no cache that costs more than the reading itself.
// Stores that go around the caches take no line back.
template <bool Stream>
inline void StoreEntry(void* to, double value, uint64_t rest) {
#if defined(__SSE2__)
    if constexpr (Stream) {
        // Made in registers: parts stored apart and read back as one would wait for the stores.
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        _mm_stream_si128(static_cast<__m128i*>(to),
                         _mm_set_epi64x(static_cast<int64_t>(rest), static_cast<int64_t>(bits)));
        return;
    }
#endif
    std::memcpy(to, &value, sizeof value);
    std::memcpy(static_cast<char*>(to) + sizeof value, &rest, sizeof rest);
}

/// Copies a field of length units as count units, a multiple of kTextAlign above the length,
/// to a place aligned to sixteen bytes: the units from the length on become zeros, whatever
/// followed the field where it was read. Two pieces are copied whatever count is, which covers
/// most texts without a loop: a loop that ends at a different place for every text mispredicts
/// its end. The place has room for them, and the units after the field may be read.
template <bool Stream>
inline void StoreUnits(char16_t* to, const char16_t* from, size_t length, size_t count) {
#if defined(__SSE2__)
    const __m128i lane = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    const auto piece = [&](size_t i) {
        const __m128i keep = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(length - i)), lane);
        const __m128i kept =
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)), keep);
        auto* const place = reinterpret_cast<__m128i*>(to + i);
        if constexpr (Stream)
            _mm_stream_si128(place, kept);
        else
            _mm_store_si128(place, kept);
    };
    piece(0);
    piece(kTextAlign);
    for (size_t i = 2 * kTextAlign; i < count; i += kTextAlign)
        piece(i);
#else
    std::memcpy(to, from, length * sizeof(char16_t));
    std::fill(to + length, to + count, u'\0');
#endif
}

/// Fields at least this long stay UTF-16: the narrowing reads whole pieces of sixteen units, and
/// the last piece of a longer field would reach past the field buffer.
constexpr size_t kAsciiLimit = (kFieldCapacity + 1) / 16 * 16 - 1;

/// Stores a field of length units, all ASCII other than zero, as length bytes and a zero, and
/// returns the units they take in the chunk; 0, leaving the field to be stored as it is, where
/// any unit is not such ASCII or the field is too long. Sixteen units are tested and narrowed
/// at a time; those past the field are read, whatever they hold, and stored as zeros.
template <bool Stream>
inline size_t StoreAscii(char16_t* to, const char16_t* from, size_t length) {
    if (length >= kAsciiLimit)
        return 0;
    const size_t pieces = (length + 1 + 15) / 16;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i above = _mm_set1_epi16(0x80);
    for (size_t i = 0; i < pieces; ++i) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * i + 8));
        // Compared as signed, units from 0x8000 up are below zero: neither above it nor ASCII.
        const auto ascii = [&](__m128i u) {
            return _mm_and_si128(_mm_cmpgt_epi16(u, zero), _mm_cmplt_epi16(u, above));
        };
        const auto good =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(ascii(low), ascii(high))));
        const size_t left = length - std::min(length, 16 * i);
        const uint32_t wanted = left >= 16 ? 0xFFFF : (1u << left) - 1;
        if ((good & wanted) != wanted)
            return 0;
        const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i bytes = _mm_and_si128(
            _mm_packus_epi16(low, high),
            _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(std::min<size_t>(left, 16))), lanes));
        auto* const place = reinterpret_cast<__m128i*>(to) + i;
        if constexpr (Stream)
            _mm_stream_si128(place, bytes);
        else
            _mm_store_si128(place, bytes);
    }
#else
    char* const bytes = reinterpret_cast<char*>(to);
    for (size_t i = 0; i < length; ++i) {
        if (from[i] == 0 || from[i] > 0x7F)
            return 0;
        bytes[i] = static_cast<char>(from[i]);
    }
    bytes[length] = 0;
#endif
    return pieces * 8;
}

std::mutex tuningMutex;
FieldPipeline::Tuning tuning;

}  // namespace

void FieldPipeline::SetTuning(const Tuning& t) {
    std::lock_guard lock(tuningMutex);
    tuning = t;
    tuning.chunkUnits = std::max<size_t>(tuning.chunkUnits, kFieldCapacity + 1);
    tuning.chunkFields = std::max<size_t>(tuning.chunkFields, 1);
}

FieldPipeline::Tuning FieldPipeline::GetTuning() {
    std::lock_guard lock(tuningMutex);
    return tuning;
}

FieldPipeline::Tuning FieldPipeline::FittedTuning(int64_t length) {
    Tuning t = GetTuning();
    // A file of a known few bytes holds few fields, and each stores at most its units and a
    // piece more: chunks of the usual size would be allocated for nothing. A length of nothing
    // is not known (a pipe), and a file that grows only takes more chunks.
    if (length > 0 && static_cast<uint64_t>(length) < t.chunkFields) {
        const size_t fields = std::min(t.chunkFields, static_cast<size_t>(length) + 2);
        t.chunkFields = fields;
        t.chunkUnits =
            std::min(t.chunkUnits, std::max(fields * (1 + kTextAlign), size_t{kFieldCapacity} + 1));
    }
    return t;
}

FieldPipeline::Chunk FieldPipeline::MakeChunk() const {
    Chunk chunk;
    chunk.units.Allocate(tuning_.chunkUnits);
    chunk.entries.Allocate(tuning_.chunkFields);
    chunk.positions.reserve(tuning_.chunkFields / kProgressRows + 2);
    return chunk;
}

FieldPipeline::FieldPipeline(FieldReader& reading, const DatImportFilter& filter)
    : reading_(reading),
      filter_(filter),
      otherDecimal_(filter.OtherDecimal()),
      tuning_(FittedTuning(reading.reader->GetLength())) {
    // A short file is read sooner than a thread starts.
    if (reading.reader->GetLength() < tuning_.threadFrom)
        return;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the consumer fills each chunk itself when it needs one.
    }
}

FieldPipeline::~FieldPipeline() {
    if (thread_.joinable()) {
        queue_.Stop();
        thread_.join();
    }
}

template <bool Stream>
std::exception_ptr FieldPipeline::Fill(Chunk& chunk, bool scan) {
    chunk.positions.clear();
    chunk.last = false;
    size_t used = 0;
    // A field needs room for its longest text and its terminating zero.
    char16_t* const units = chunk.units.items.get();
    Entry* const entries = chunk.entries.items.get();
    const size_t fields = tuning_.chunkFields;
    const size_t room = tuning_.chunkUnits;
    // Fields ReadField reads are in the reading's own buffer, which stays in this core's cache;
    // only what the consumer needs goes into the chunk.
    char16_t* const field = reading_.fieldBuffer.data();
    // In a local, so that it stays in a register; written back at every way out.
    size_t count = 0;
    BlockSplitter splitter(reading_);
    const bool scanning = scan && filter_.ScansNumbers(otherDecimal_);
    // The fields the splitter finds are scanned and stored from the decoded block itself,
    // unless a delimiter could be taken for part of a number there.
    const bool inBlock = splitter.SpecialsEndNumbers();
    while (count < fields && used + kFieldCapacity + 1 <= room) {
        char16_t t;
        const char16_t* text;
        int length;
        bool quoted;
        if (splitter.Find(t, text, length, quoted)) {
            if (!inBlock || (length > 0 && (text[length - 1] == u' ' || text[length - 1] == u'\t')))
                [[unlikely]] {
                splitter.Copy(text, length, quoted);
                text = field;
            }
        } else {
            splitter.Sync();
            try {
                t = reading_.ReadField();
            } catch (...) {
                chunk.count = count;
                return std::current_exception();
            }
            splitter.Resync();
            text = field;
            length = reading_.fieldLength;
            quoted = reading_.fieldQuoted;
        }
        // Only a copied field can end in blanks: one in the block was copied above.
        if (text == field && length > 0 &&
            (field[length - 1] == u' ' || field[length - 1] == u'\t')) [[unlikely]] {
            reading_.TrimFieldEnd();
            length = reading_.fieldLength;
        }
        // A field not scanned here is scanned where its cells are made.
        ScannedField scanned = ScannedField::Unscanned;
        double value = 0.0;
        if (scanning && length > 0 && !quoted) {
            scanned = ScanPlainNumber(text, static_cast<size_t>(length), value);
            if (scanned == ScannedField::Unscanned) [[unlikely]] {
                // The general reader needs the zero after the field.
                if (text != field) {
                    splitter.Copy(text, length, quoted);
                    text = field;
                }
                scanned = ScanNumberFieldInGeneral(field, static_cast<size_t>(length), value);
            }
        }
        // Rows and line ends go together, so the position is noted where a row's number will be
        // a multiple of kProgressRows; the division it costs is not made for every line.
        const bool lineEnd = t == kLF || t == kCR;
        const bool noted = t == kEof || (lineEnd && ++lineEnds_ % kProgressRows == 0);
        if (noted) {
            splitter.Sync();
            chunk.positions.push_back(reading_.reader->GetPosition());
        }
        // A number travels as its value alone.
        size_t stored = 0;
        bool ascii = false;
        if (scanned != ScannedField::Number) {
            const auto units16 = static_cast<size_t>(length);
            // Where the cells are made, these go to a text cell and nowhere else.
            const bool isText = (quoted && length > 0) || scanned == ScannedField::Text;
            if (isText)
                stored = StoreAscii<Stream>(units + used, text, units16);
            ascii = stored != 0;
            if (!ascii) {
                stored = AlignedUnits(units16 + 1);
                StoreUnits<Stream>(units + used, text, units16, stored);
            }
        }
        const uint16_t lengthAndFlags = static_cast<uint16_t>(
            length | (quoted ? kQuoted : 0) | static_cast<int>(scanned) << kScanShift |
            (noted ? kNoted : 0) | (ascii ? kAscii : 0));
        StoreEntry<Stream>(entries + count++, value,
                           used | uint64_t{lengthAndFlags} << 32 | uint64_t{t} << 48);
        used += stored;
        if (t == kEof) {
            chunk.count = count;
            chunk.last = true;
            return nullptr;
        }
    }
    splitter.Sync();
    chunk.count = count;
    return nullptr;
}

void FieldPipeline::Run() {
    // With two cores, this thread and the one making cells keep both busy: a third that decodes
    // ahead would only take turns with them.
    if (std::thread::hardware_concurrency() <= 2)
        reading_.reader->SetReadAhead(false);
    std::exception_ptr failure;
    try {
        Chunk chunk;
        bool made;
        // Chunks are made as they are needed, so that a short import allocates only one.
        while (queue_.Acquire(chunk, made)) {
            if (made)
                chunk = MakeChunk();
            // Decided as the chunk is begun, where the consumer's last wait can be seen.
            const bool scan = tuning_.scanOn == ScanOn::Reader ||
                              (tuning_.scanOn == ScanOn::Balanced && !queue_.Starved());
            failure = Fill<true>(chunk, scan);
            const bool last = chunk.last || failure;
            if (!queue_.Send(std::move(chunk)) || last)
                break;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The consumer meets a failure after the fields sent before it, where the next field would
    // have been.
    if (failure)
        queue_.Fail(failure);
    queue_.Close(!failure);
}

void FieldPipeline::TakeChunk() {
    if (failure_)
        std::rethrow_exception(failure_);
    if (finished_) {
        // Past the end of the file there is only the end of the file.
        current_.count = 1;
        if (!current_.units.items) {
            current_.units.Allocate(1);
            current_.entries.Allocate(1);
        }
        current_.entries.items[0] =
            Entry{0.0, 0, static_cast<int>(ScannedField::Unscanned) << kScanShift, kEof};
        current_.units.items[0] = 0;
        index_ = 0;
        return;
    }
    if (!thread_.joinable()) {
        if (!current_.units.items)
            current_ = MakeChunk();
        // Read here, the chunk stays in this core's cache; where the scan is made is all one.
        failure_ = Fill<false>(current_, true);
    } else {
        if (current_.units.items)
            queue_.GiveBack(std::move(current_));
        if (!queue_.Take(current_)) {
            // Closed before the end of the file: only the failure is left.
            current_ = Chunk();
            current_.last = true;
            failure_ = queue_.Failure();
        }
    }
    index_ = 0;
    noted_ = 0;
    finished_ = current_.last;
    if (current_.count == 0 && failure_)
        std::rethrow_exception(failure_);
}

}  // namespace dornel
