// Base64Encode: pads the caller's array to whole groups, then encodes them with the fastest
// group encoder the CPU runs (a 12-bit table everywhere, AVX2 on x86-64). Safe on any thread.
#include "text/base64.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/base64_internal.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVEL_BASE64_AVX2 1
#include <immintrin.h>
#endif

namespace quorvel {
namespace base64_internal {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12-bit value: entry v holds kAlphabet[v >> 6], kAlphabet[v & 63].
using PairTable = std::array<std::array<char, 2>, 4096>;

constexpr PairTable MakePairTable() {
  PairTable table{};
  for (std::size_t v = 0; v < table.size(); ++v) {
    table[v] = {kAlphabet[v >> 6], kAlphabet[v & 63]};
  }
  return table;
}

constexpr PairTable kPairs = MakePairTable();

inline void EncodeGroup(const std::uint8_t* in, char* out) {
  const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
  std::memcpy(out, kPairs[v >> 12].data(), 2);
  std::memcpy(out + 2, kPairs[v & 0xFFF].data(), 2);
}

// Output is produced in slices of this many groups into a small buffer that stays in the
// first-level cache, then appended, so the result is never zero-filled before it is written.
constexpr std::size_t kSliceGroups = 1024;

}  // namespace

void EncodeGroupsPortable(const std::uint8_t* in, std::size_t groupCount, char* out) {
  std::size_t g = 0;
  for (; g + 4 <= groupCount; g += 4, in += 12, out += 16) {
    EncodeGroup(in, out);
    EncodeGroup(in + 3, out + 4);
    EncodeGroup(in + 6, out + 8);
    EncodeGroup(in + 9, out + 12);
  }
  for (; g < groupCount; ++g, in += 3, out += 4)
    EncodeGroup(in, out);
}

#if QUORVEL_BASE64_AVX2
namespace {

// 24 input bytes (8 groups) to 32 characters. Each group b0 b1 b2 is spread over a 32-bit
// lane as the bytes b1 b0 b2 b1, the four 6-bit indices are moved into the low bits of the
// four bytes with two multiplies, and each index gets the offset of its alphabet range.
__attribute__((target("avx2"))) inline __m256i EncodeBlock(const std::uint8_t* in) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12));
  __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
  v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10, 1,
                                              0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
  // Indices 0 and 2 of each group: high bits shifted down by 10 and 6.
  const __m256i ac = _mm256_mulhi_epu16(_mm256_and_si256(v, _mm256_set1_epi32(0x0FC0FC00)),
                                        _mm256_set1_epi32(0x04000040));
  // Indices 1 and 3: shifted up by 4 and 8 into the odd bytes.
  const __m256i bd = _mm256_mullo_epi16(_mm256_and_si256(v, _mm256_set1_epi32(0x003F03F0)),
                                        _mm256_set1_epi32(0x01000010));
  const __m256i indices = _mm256_or_si256(ac, bd);

  // Range number: 0 for 26..51, 1..12 for 52..63, 13 for 0..25; then the offset to add.
  __m256i range = _mm256_subs_epu8(indices, _mm256_set1_epi8(51));
  const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), indices);
  range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
  const __m256i offsets =
      _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                       '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0,
                       'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                       '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  return _mm256_add_epi8(_mm256_shuffle_epi8(offsets, range), indices);
}

// Each block reads 28 bytes (two 16-byte loads at +0 and +12) and consumes 24, so blocks run
// while at least 10 groups remain; the portable encoder finishes the rest.
__attribute__((target("avx2"))) void EncodeGroupsAvx2(const std::uint8_t* in,
                                                      std::size_t groupCount, char* out) {
  for (; groupCount >= 18; groupCount -= 16, in += 48, out += 64) {
    const __m256i first = EncodeBlock(in);
    const __m256i second = EncodeBlock(in + 24);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), second);
  }
  for (; groupCount >= 10; groupCount -= 8, in += 24, out += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), EncodeBlock(in));
  }
  EncodeGroupsPortable(in, groupCount, out);
}

}  // namespace

GroupEncoder Avx2GroupEncoder() {
  __builtin_cpu_init();  // in case this runs before the CPU model is read at start-up
  return __builtin_cpu_supports("avx2") ? &EncodeGroupsAvx2 : nullptr;
}
#else
GroupEncoder Avx2GroupEncoder() {
  return nullptr;
}
#endif

GroupEncoder BestGroupEncoder() {
  static const GroupEncoder best = [] {
    const GroupEncoder avx2 = Avx2GroupEncoder();
    return avx2 != nullptr ? avx2 : &EncodeGroupsPortable;
  }();
  return best;
}

Text Base64EncodeWith(ByteArray& bytes, GroupEncoder encoder) {
  const std::size_t n = bytes.size();
  if (n == 0) return {};
  const std::size_t rest = n % 3;
  if (rest != 0) bytes.resize(n + 3 - rest);  // zero bytes; ReadFileBytes left room for them

  const std::size_t groupCount = bytes.size() / 3;
  // A sixteenth more capacity than the text needs, so that a caller that escapes some of its
  // characters (the upload text writes "+" as "%2B", two bytes more for one character in 64 on
  // average) can do so within this buffer. Capacity never written costs no memory in a large
  // block: its pages are only backed when touched.
  Text out;
  out.reserve(groupCount * 4 + (groupCount * 4 + 15) / 16);
  char slice[kSliceGroups * 4];
  for (std::size_t g = 0; g < groupCount; g += kSliceGroups) {
    const std::size_t count = std::min(kSliceGroups, groupCount - g);
    encoder(bytes.data() + g * 3, count, slice);
    out.append(slice, count * 4);
  }
  if (rest == 1) out.replace(out.size() - 2, 2, "==");
  if (rest == 2) out.back() = '=';
  return out;
}

}  // namespace base64_internal

Text Base64Encode(ByteArray& bytes) {
  return base64_internal::Base64EncodeWith(bytes, base64_internal::BestGroupEncoder());
}

}  // namespace quorvel
