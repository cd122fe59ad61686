#include "cleanup/startup_clean.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kCtrlZ = 0x1A;

// The search tries each place in a piece where the first two bytes of a
// keyword could stand, as a pair of byte classes looked up in a small table:
// one class per upper-case byte that is a keyword's first or second, class 0
// for the rest. Each place is tested on its own, so the work per byte does
// not wait on the result for the byte before.
constexpr unsigned kClassLimit = 16;

constexpr unsigned char Upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

struct SearchTables {
    unsigned char byteClass[256] = {};
    // Indexed by the classes of two bytes: the keywords (bit per index in
    // kDropKeywords) that open with those two bytes.
    std::uint16_t opening[kClassLimit * kClassLimit] = {};
    std::size_t length[kDropKeywordCount] = {};
    std::size_t shortest = 0;
};

constexpr std::size_t TextLength(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

constexpr SearchTables BuildSearchTables() {
    SearchTables tables;
    unsigned classes = 1;
    for (std::size_t k = 0; k < kDropKeywordCount; ++k) {
        tables.length[k] = TextLength(kDropKeywords[k]);
        if (tables.shortest == 0 || tables.length[k] < tables.shortest) tables.shortest = tables.length[k];
        for (std::size_t i = 0; i < 2; ++i) {
            const auto c = static_cast<unsigned char>(kDropKeywords[k][i]);
            if (tables.byteClass[c] == 0) tables.byteClass[c] = static_cast<unsigned char>(classes++);
        }
    }
    // Lower-case letters share the class of their upper-case form.
    for (unsigned c = 'a'; c <= 'z'; ++c) tables.byteClass[c] = tables.byteClass[Upper(static_cast<unsigned char>(c))];
    for (std::size_t k = 0; k < kDropKeywordCount; ++k) {
        const unsigned pair = tables.byteClass[static_cast<unsigned char>(kDropKeywords[k][0])] * kClassLimit +
                              tables.byteClass[static_cast<unsigned char>(kDropKeywords[k][1])];
        tables.opening[pair] = static_cast<std::uint16_t>(tables.opening[pair] | (1u << k));
    }
    return tables;
}

constexpr SearchTables kSearch = BuildSearchTables();

constexpr bool KeywordsFitTheSearch() {
    unsigned highest = 0;
    for (unsigned char byteClass : kSearch.byteClass) highest = byteClass > highest ? byteClass : highest;
    return highest < kClassLimit && kSearch.shortest >= 2 && kDropKeywordCount <= 16;
}
static_assert(KeywordsFitTheSearch(), "keywords need two bytes, their openings must fit the classes and a 16-bit set");

bool KeywordAt(const unsigned char* at, const unsigned char* end, std::size_t k) {
    const std::size_t length = kSearch.length[k];
    if (static_cast<std::size_t>(end - at) < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (Upper(at[i]) != static_cast<unsigned char>(kDropKeywords[k][i])) return false;
    }
    return true;
}

// True when a keyword of the table opens at this place and ends by end.
bool KeywordOpensAt(const unsigned char* at, const unsigned char* end) {
    const unsigned set = kSearch.opening[kSearch.byteClass[at[0]] * kClassLimit + kSearch.byteClass[at[1]]];
    for (unsigned k = 0, rest = set; rest != 0; ++k, rest >>= 1) {
        if ((rest & 1u) != 0 && KeywordAt(at, end, k)) return true;
    }
    return false;
}

#if defined(__SSE2__)
// Sixteen places at a time: both bytes of each place are compared, with
// 0x20 set, against the keywords' openings. Setting 0x20 turns A-Z into a-z
// and lets a few other bytes through (a backquote for an at sign), which
// KeywordOpensAt then turns away.
struct Openings {
    unsigned char first[kDropKeywordCount] = {};
    unsigned char second[kDropKeywordCount] = {};
    std::size_t count = 0;
};

constexpr Openings BuildOpenings() {
    Openings openings;
    for (std::size_t k = 0; k < kDropKeywordCount; ++k) {
        const auto first = static_cast<unsigned char>(kDropKeywords[k][0] | 0x20);
        const auto second = static_cast<unsigned char>(kDropKeywords[k][1] | 0x20);
        bool known = false;
        for (std::size_t i = 0; i < openings.count; ++i) {
            known = known || (openings.first[i] == first && openings.second[i] == second);
        }
        if (known) continue;
        openings.first[openings.count] = first;
        openings.second[openings.count] = second;
        ++openings.count;
    }
    return openings;
}

constexpr Openings kOpenings = BuildOpenings();
constexpr std::size_t kBlock = 16;

template <std::size_t... I>
__m128i OpeningHits(__m128i first, __m128i second, std::index_sequence<I...> /*openings*/) {
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(
          hits, _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8(static_cast<char>(kOpenings.first[I]))),
                              _mm_cmpeq_epi8(second, _mm_set1_epi8(static_cast<char>(kOpenings.second[I])))))),
     ...);
    return hits;
}

// Bit i is set when place at + i may open a keyword; reads at[0] to at[16].
unsigned OpeningMask(const unsigned char* at) {
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i first = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), caseBit);
    const __m128i second = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1)), caseBit);
    const __m128i hits = OpeningHits(first, second, std::make_index_sequence<kOpenings.count>());
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

// True when a keyword lies wholly within text..end. Bytes up to readable
// may be read (but never count) so that whole blocks can be loaded.
bool HoldsKeyword(const unsigned char* text, const unsigned char* end, const unsigned char* readable) {
    if (static_cast<std::size_t>(end - text) < kSearch.shortest) return false;
    const unsigned char* const lastPlace = end - kSearch.shortest;
    const unsigned char* at = text;
#if defined(__SSE2__)
    for (; at <= lastPlace && static_cast<std::size_t>(readable - at) > kBlock; at += kBlock) {
        unsigned mask = OpeningMask(at);
        const std::size_t places = static_cast<std::size_t>(lastPlace - at) + 1;
        if (places < kBlock) mask &= (1u << places) - 1;
        for (; mask != 0; mask &= mask - 1) {
            if (KeywordOpensAt(at + __builtin_ctz(mask), end)) return true;
        }
    }
#else
    (void)readable;
#endif
    for (; at <= lastPlace; ++at) {
        if (KeywordOpensAt(at, end)) return true;
    }
    return false;
}

// The keyword that drops a piece: the first of the table found anywhere in it.
std::size_t FirstKeyword(const unsigned char* text, const unsigned char* end) {
    for (std::size_t k = 0; k < kDropKeywordCount; ++k) {
        for (const unsigned char* at = text; at < end; ++at) {
            if (KeywordAt(at, end, k)) return k;
        }
    }
    return kDropKeywordCount;
}

bool GrowFor(StartupBuffer* buffer, std::size_t more) {
    if (more > SIZE_MAX - buffer->size) return false;
    const std::size_t needed = buffer->size + more;
    if (needed <= buffer->capacity) return true;
    std::size_t grown = buffer->capacity + buffer->capacity / 2;
    if (grown < buffer->capacity || grown < needed) grown = needed;
    return ReserveStartupBuffer(buffer, grown) || ReserveStartupBuffer(buffer, needed);
}

}  // namespace

bool ReserveStartupBuffer(StartupBuffer* buffer, std::size_t capacity) {
    if (capacity <= buffer->capacity) return true;
    void* bytes = std::realloc(buffer->bytes, capacity);
    if (bytes == nullptr) return false;
    buffer->bytes = static_cast<unsigned char*>(bytes);
    buffer->capacity = capacity;
    return true;
}

void ReleaseStartupBuffer(StartupBuffer* buffer) {
    std::free(buffer->bytes);
    buffer->bytes = nullptr;
    buffer->size = 0;
    buffer->capacity = 0;
}

bool CleanStartupPart(StartupCleaner* cleaner, const unsigned char* bytes, std::size_t size, bool atEnd,
                      StartupBuffer* out, std::size_t* used) {
    *used = size;
    if (cleaner->ended || size == 0) return true;
    // The text ends before the first Ctrl-Z.
    const unsigned char* end = bytes + size;
    if (const void* ctrlZ = std::memchr(bytes, kCtrlZ, size)) {
        end = static_cast<const unsigned char*>(ctrlZ);
        cleaner->ended = atEnd = true;
    }
    // With CR LF line ends the text comes out no longer than it went in, but
    // for a few pieces that gain a line end; anything more grows the buffer.
    const std::size_t text = static_cast<std::size_t>(end - bytes);
    const std::size_t expected = text + text / 64 + 256;
    if (expected > text && expected <= SIZE_MAX - out->size && !ReserveStartupBuffer(out, out->size + expected)) {
        return false;
    }

    // The next zero byte, found once for the whole text instead of per piece.
    auto findZero = [end](const unsigned char* from) {
        const void* zero = std::memchr(from, 0, static_cast<std::size_t>(end - from));
        return zero != nullptr ? static_cast<const unsigned char*>(zero) : end;
    };
    const unsigned char* zero = findZero(bytes);

    // Surviving pieces that end in CR LF and lost nothing to a zero byte are
    // written exactly as they stand in the file: such a run is copied at once.
    const unsigned char* run = bytes;
    auto appendRun = [&run, out](const unsigned char* runEnd) {
        const std::size_t length = static_cast<std::size_t>(runEnd - run);
        if (length == 0) return true;
        if (!GrowFor(out, length)) return false;
        std::memcpy(out->bytes + out->size, run, length);
        out->size += length;
        return true;
    };

    const unsigned char* piece = bytes;
    while (piece < end) {
        // A piece holds at most kStartupPieceMax bytes of translated text; a
        // CR LF pair counts as one, and can only be the piece's last byte, so
        // the piece spans at most one byte more of the file.
        const std::size_t left = static_cast<std::size_t>(end - piece);
        const std::size_t span = left < kStartupPieceMax + 1 ? left : kStartupPieceMax + 1;
        const auto* lf = static_cast<const unsigned char*>(std::memchr(piece, kLf, span));
        if (lf == nullptr && span <= kStartupPieceMax && !atEnd) break;  // more bytes may lengthen it

        const unsigned char* next = piece + (span < kStartupPieceMax ? span : kStartupPieceMax);
        const unsigned char* textEnd = next;
        bool endsLine = false;
        bool pair = false;
        if (lf != nullptr) {
            pair = lf > piece && lf[-1] == kCr;
            if (static_cast<std::size_t>(lf - piece) + 1 - (pair ? 1 : 0) <= kStartupPieceMax) {
                next = lf + 1;
                textEnd = pair ? lf - 1 : lf;
                endsLine = true;
            }
        }
        const bool asInFile = endsLine && pair && zero >= textEnd;
        if (zero < textEnd) textEnd = zero;  // bytes behind a zero byte are lost
        if (zero < next) zero = findZero(next);

        if (!HoldsKeyword(piece, textEnd, bytes + size)) {
            if (!asInFile) {
                const std::size_t length = static_cast<std::size_t>(textEnd - piece);
                if (!appendRun(piece) || !GrowFor(out, length + 2)) return false;
                unsigned char* at = out->bytes + out->size;
                std::memcpy(at, piece, length);
                at[length] = kCr;
                at[length + 1] = kLf;
                out->size += length + 2;
                run = next;
            }
        } else {
            if (!appendRun(piece)) return false;
            run = next;
            if (cleaner->onDropped != nullptr) {
                const DroppedPiece dropped{cleaner->linesEnded + 1, FirstKeyword(piece, textEnd), piece,
                                           static_cast<std::size_t>(textEnd - piece)};
                cleaner->onDropped(dropped, cleaner->context);
            }
        }
        if (endsLine) ++cleaner->linesEnded;
        piece = next;
    }
    if (!appendRun(piece)) return false;
    if (!cleaner->ended) *used = static_cast<std::size_t>(piece - bytes);
    return true;
}

bool CleanStartupText(const unsigned char* file, std::size_t size, StartupBuffer* out,
                      DroppedPieceFn onDropped, void* context) {
    StartupCleaner cleaner{onDropped, context, 0, false};
    std::size_t used = 0;
    return CleanStartupPart(&cleaner, file, size, true, out, &used);
}
