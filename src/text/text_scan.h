// Block scanning and buffered appending behind the searching and replacing walks of text.cpp.
// Internal to the text library: text.cpp uses it, and a test checks both scanning paths.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/text.h"

// The SSE2 paths, on by default where the compiler offers SSE2 (every x86-64 target);
// defining QUORVEL_PORTABLE_SCAN builds the portable word-at-a-time paths instead.
#if defined(__SSE2__) && !defined(QUORVEL_PORTABLE_SCAN)
#define QUORVEL_SCAN_SSE2 1
#include <emmintrin.h>
#endif

namespace quorvel::scan {

// A byte is plain when it is below 0x80 (a whole one-byte character) and equals neither
// first nor other, the bytes that may begin a match: a walk may pass over plain bytes without
// looking at them. The Skip functions return a position q in [p, end] such that every byte in
// [p, q) is plain and q is end, the first byte that is not plain, or any position less than a
// block before end (where the caller goes on character by character). They read only within
// [p, end).

// Portable: eight bytes at a time. A word is passed over only when no byte has its top bit set
// and no byte equals first or other (the zero-byte test has no false negatives).
inline const char* SkipPlainWords(const char* p, const char* end, char first, char other) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kTops = 0x8080808080808080u;
  const std::uint64_t wantFirst = kOnes * static_cast<unsigned char>(first);
  const std::uint64_t wantOther = kOnes * static_cast<unsigned char>(other);
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t x = word ^ wantFirst;
    const std::uint64_t y = word ^ wantOther;
    if (((word | ((x - kOnes) & ~x) | ((y - kOnes) & ~y)) & kTops) != 0) return p;
    p += 8;
  }
  return p;
}

#if defined(QUORVEL_SCAN_SSE2)
// Asks for the cache line distance bytes away from p, which may lie outside the buffer: a
// prefetch never faults, and the address is worked out as an integer, not as a pointer. The
// long passes over a text use it to keep several lines in flight, in either direction.
inline void PrefetchAt(const char* p, std::ptrdiff_t distance) {
  const std::uintptr_t at =
      reinterpret_cast<std::uintptr_t>(p) + static_cast<std::uintptr_t>(distance);
  _mm_prefetch(reinterpret_cast<const char*>(at), _MM_HINT_T0);
}

// One 16-byte block: bit i of the result is set when byte i is not plain.
inline unsigned NotPlainMask(__m128i block, __m128i wantFirst, __m128i wantOther) {
  const __m128i candidates =
      _mm_or_si128(_mm_cmpeq_epi8(block, wantFirst), _mm_cmpeq_epi8(block, wantOther));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(block, candidates)));
}

// SSE2: sixteen bytes at a time, stopping exactly at the first byte that is not plain.
inline const char* SkipPlainBlocks(const char* p, const char* end, char first, char other) {
  const __m128i wantFirst = _mm_set1_epi8(first);
  const __m128i wantOther = _mm_set1_epi8(other);
  while (end - p >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned mask = NotPlainMask(block, wantFirst, wantOther);
    if (mask != 0) return p + std::countr_zero(mask);
    p += 16;
  }
  return p;
}
#endif

inline const char* SkipPlain(const char* p, const char* end, char first, char other) {
#if defined(QUORVEL_SCAN_SSE2)
  return SkipPlainBlocks(p, end, first, other);
#else
  return SkipPlainWords(p, end, first, other);
#endif
}

// For a one-byte sought text: passes over bytes below 0x80, adding to count the number of
// them that equal first or other (each one a match of a one-byte sought text, since only
// one-byte characters lie in between). Returns the first byte of 0x80 or above, end, or any
// earlier position (the portable path counts nothing and stops at each candidate).
inline const char* CountOneByteMatches(const char* p, const char* end, char first, char other,
                                       std::int64_t& count) {
#if defined(QUORVEL_SCAN_SSE2)
  // Matching bytes are counted in sixteen byte-wide counters, summed before they can wrap.
  const __m128i wantFirst = _mm_set1_epi8(first);
  const __m128i wantOther = _mm_set1_epi8(other);
  const __m128i zero = _mm_setzero_si128();
  auto sum = [&count, zero](__m128i counters) {
    const __m128i halves = _mm_sad_epu8(counters, zero);
    count += _mm_cvtsi128_si32(halves) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(halves, halves));
  };
  auto hits = [wantFirst, wantOther](__m128i block) {  // -1 in each matching byte
    return _mm_or_si128(_mm_cmpeq_epi8(block, wantFirst), _mm_cmpeq_epi8(block, wantOther));
  };
  __m128i counters = zero;
  int blocks = 0;  // the most that any counter may hold, kept below 256 - 4
  while (end - p >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
    if (high != 0) {
      for (const char* ascii = p + std::countr_zero(high); p < ascii; ++p) {
        count += *p == first || *p == other;
      }
      break;
    }
    counters = _mm_sub_epi8(counters, hits(block));
    if (++blocks > 251) {  // another four blocks could make 256
      sum(counters);
      counters = zero;
      blocks = 0;
    }
    p += 16;
    // After a block without a byte of 0x80 or above, four blocks at a time until one shows.
    while (end - p >= 64) {
      PrefetchAt(p, 1024);
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
      if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
      counters = _mm_sub_epi8(
          counters, _mm_add_epi8(_mm_add_epi8(hits(a), hits(b)), _mm_add_epi8(hits(c), hits(d))));
      blocks += 4;
      if (blocks > 251) {
        sum(counters);
        counters = zero;
        blocks = 0;
      }
      p += 64;
    }
  }
  sum(counters);
  return p;
#else
  static_cast<void>(count);
  return SkipPlainWords(p, end, first, other);
#endif
}

// Copies the plain bytes at src (see SkipPlain) to dst, or fewer of them, and returns the
// position after the last byte copied; dst advances by as many bytes. Copying goes on only
// while dst is below dstStop, and may store up to 16 bytes past the bytes it keeps, so dst
// needs 32 bytes of room beyond dstStop.
inline const char* CopyPlain(const char* src, const char* end, char*& dst, const char* dstStop,
                             char first, char other) {
#if defined(QUORVEL_SCAN_SSE2)
  // Each block is stored before it is inspected; only its plain bytes are kept.
  const __m128i wantFirst = _mm_set1_epi8(first);
  const __m128i wantOther = _mm_set1_epi8(other);
  while (end - src >= 16 && dst < dstStop) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), block);
    const unsigned mask = NotPlainMask(block, wantFirst, wantOther);
    if (mask != 0) {
      const int plain = std::countr_zero(mask);
      dst += plain;
      return src + plain;
    }
    src += 16;
    dst += 16;
  }
  return src;
#else
  if (dst >= dstStop) return src;
  const char* stop =
      SkipPlainWords(src, src + std::min<std::ptrdiff_t>(end - src, dstStop - dst), first, other);
  std::memcpy(dst, src, static_cast<std::size_t>(stop - src));
  dst += stop - src;
  return stop;
#endif
}

// The hot case of TextReplace, a one-byte sought text and a replacement of at most 16 bytes
// (padded to 16 bytes): copies 16-byte blocks of bytes below 0x80 from src to dst, each byte
// that equals first or other replaced, while at least 48 bytes of input remain, dst is below
// dstStop and at least 16 replacements remain allowed (remaining counts them down). Stops at
// the first block holding a byte of 0x80 or above, block-aligned with src; the portable path
// copies nothing. dst needs 16 * 33 bytes of room beyond dstStop.
inline const char* ReplaceOneByteBlocks(const char* src, const char* end, char*& dst,
                                        const char* dstStop, char first, char other,
                                        const char* padded, std::size_t length,
                                        std::int64_t& remaining) {
#if defined(QUORVEL_SCAN_SSE2)
  const __m128i wantFirst = _mm_set1_epi8(first);
  const __m128i wantOther = _mm_set1_epi8(other);
  const __m128i replacement = _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded));
  const auto width = static_cast<std::ptrdiff_t>(length);
  char* out = dst;  // a local copy: the stores could alias the caller's pointer
  std::int64_t left = remaining;
  while (end - src >= 48 && out < dstStop && left >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    if (_mm_movemask_epi8(block) != 0) break;
    const auto matches = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(block, wantFirst), _mm_cmpeq_epi8(block, wantOther))));
    // The whole block; over the bytes from its lowest match on, the replacement followed by
    // the input from the byte after the match. These steps run even without a match (the
    // sentinel bit 16 then places them past the block's output, where the next block writes),
    // so only a second match in one block costs a branch.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    int at = std::countr_zero(matches | 0x10000u);
    char* next = out + at;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(next), replacement);
    next += width;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(next),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at + 1)));
    std::ptrdiff_t count = matches != 0;
    for (unsigned rest = matches & (matches - 1); rest != 0; rest &= rest - 1, ++count) {
      const int later = std::countr_zero(rest);
      next += later - at - 1;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(next), replacement);
      next += width;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(next),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + later + 1)));
      at = later;
    }
    out += 16 + (width - 1) * count;
    left -= count;
    src += 16;
  }
  dst = out;
  remaining = left;
#else
  static_cast<void>(end), static_cast<void>(dst), static_cast<void>(dstStop);
  static_cast<void>(first), static_cast<void>(other), static_cast<void>(padded);
  static_cast<void>(length), static_cast<void>(remaining);
#endif
  return src;
}

// The in-place expansion of TextReplace, from the back: takes the bytes in [begin, src), all
// below 0x80, 16-byte blocks at a time from the back, each byte that equals first or other
// replaced by a replacement of at most 16 bytes (right-aligned in padded: its last length
// bytes), and stores the output so that it ends at dst, in the same buffer. Returns the lowered
// src, less than 16 bytes above begin, and lowers dst to the start of the output written; the
// portable path copies nothing. A block's stores reach up to 32 bytes below the start of its
// output, so the output of [begin, src) must start at least 48 bytes above begin: then no store
// reaches a byte still to be read. Reads up to 17 bytes below begin.
inline const char* ExpandOneByteBlocksBackward(const char* begin, const char* src, char*& dst,
                                               char first, char other, const char* padded,
                                               std::size_t length) {
#if defined(QUORVEL_SCAN_SSE2)
  const __m128i wantFirst = _mm_set1_epi8(first);
  const __m128i wantOther = _mm_set1_epi8(other);
  const __m128i replacement = _mm_loadu_si128(reinterpret_cast<const __m128i*>(padded));
  const auto width = static_cast<std::ptrdiff_t>(length);
  char* top = dst;  // a local copy: the stores could alias the caller's pointer
  while (src - begin >= 16) {
    src -= 16;
    PrefetchAt(src, -4096);
    PrefetchAt(top, -4096);
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const auto matches = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(block, wantFirst), _mm_cmpeq_epi8(block, wantOther))));
    // The whole block goes to the top; below the bytes after its highest match, the
    // replacement; below that, the 16 input bytes that end at the match. These steps run even
    // without a match (their stores then land below the block's output, where the next block
    // overwrites them), so only a second match in one block costs a branch.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(top - 16), block);
    // The highest match, -1 when there is none; the argument of countl_zero is never zero, so
    // this takes no branch.
    int at = 30 - std::countl_zero((matches << 1) | 1u);
    char* out = top - 15 + at;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out - 16), replacement);
    out -= width;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out - 16),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at - 16)));
    std::ptrdiff_t count = matches != 0;
    for (unsigned rest = matches & ~(1u << (at & 31)); rest != 0; ++count) {
      const int next = std::bit_width(rest) - 1;
      rest &= ~(1u << next);
      out -= at - 1 - next;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out - 16), replacement);
      out -= width;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out - 16),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + next - 16)));
      at = next;
    }
    top -= 16 + (width - 1) * count;
  }
  dst = top;
#else
  static_cast<void>(begin), static_cast<void>(dst), static_cast<void>(first);
  static_cast<void>(other), static_cast<void>(padded), static_cast<void>(length);
#endif
  return src;
}

// Appends to a text through a local buffer, so that a walk that emits many short pieces pays
// for one bulk append per buffer instead of one per piece. A walk may also write straight
// into the buffer: Acquire gives a cursor with kRoom free bytes, Release hands it back.
// Flush before reading the text.
//
// Built on a position instead of a text, it writes the bytes there in place, moving them, so
// a walk may compact a text within its own buffer: at every flush the bytes written so far
// must be no more than the bytes the walk has read, so no unread byte is overwritten.
class Writer {
 public:
  static constexpr std::size_t kRoom = 8192 + 1024;

  explicit Writer(Text& out) : out_(&out) {}
  explicit Writer(char* at) : at_(at) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void Put(const char* data, std::size_t n) {
    if (n > kSize - used_) {
      Flush();
      if (n > kSize / 2) {
        Emit(data, n);
        return;
      }
    }
    std::memcpy(buffer_ + used_, data, n);
    used_ += n;
  }

  char* Acquire() {
    if (kSize - used_ < kRoom) Flush();
    return buffer_ + used_;
  }
  void Release(char* cursor) { used_ = static_cast<std::size_t>(cursor - buffer_); }

  void Flush() {
    Emit(buffer_, used_);
    used_ = 0;
  }

  // In place: where the next flushed byte goes.
  char* Position() const { return at_; }

 private:
  static constexpr std::size_t kSize = 32768;

  void Emit(const char* data, std::size_t n) {
    if (out_ != nullptr) {
      out_->append(data, n);
    } else {
      std::memmove(at_, data, n);
      at_ += n;
    }
  }

  Text* out_ = nullptr;
  char* at_ = nullptr;
  std::size_t used_ = 0;
  char buffer_[kSize];
};

}  // namespace quorvel::scan
