// The block scanning helpers against their contracts, on random buffers and random windows:
// the portable word path and, where built, the SSE2 block path must only pass over plain
// bytes, count exactly, copy exactly, and never stop early except near the end; the backward
// expansion must stay clear of the bytes it has not read yet.
#include "text/text_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace quorvel::scan {
namespace {

constexpr char kFirst = '+';
constexpr char kOther = 'q';

bool Plain(char c) {
  return static_cast<unsigned char>(c) < 0x80 && c != kFirst && c != kOther;
}

// Mostly plain bytes, with candidates and bytes of 0x80 or above at random spacing.
std::string RandomBuffer(std::mt19937& engine) {
  std::string buffer(static_cast<std::size_t>(engine() % 200), 'x');
  const unsigned spacing = 1 + engine() % 40;
  for (char& c : buffer) {
    const unsigned roll = engine() % (3 * spacing);
    c = roll == 0   ? kFirst
        : roll == 1 ? kOther
        : roll == 2 ? '\xB0'
                    : static_cast<char>('0' + roll % 40);
  }
  return buffer;
}

// How far short of the first byte that is not plain the scanning path may stop (away from the
// end): the SSE2 path stops exactly, the word path at the start of the word holding it.
#if defined(QUORVEL_SCAN_SSE2)
constexpr std::ptrdiff_t kBlock = 16;
constexpr std::ptrdiff_t kShort = 0;
#else
constexpr std::ptrdiff_t kBlock = 8;
constexpr std::ptrdiff_t kShort = 7;
#endif

TEST(TextScan, HelpersKeepTheirContractsOnRandomBuffers) {
  std::mt19937 engine(99);
  for (int round = 0; round < 4000; ++round) {
    const std::string buffer = RandomBuffer(engine);
    const std::size_t from = buffer.empty() ? 0 : engine() % (buffer.size() + 1);
    const char* p = buffer.data() + from;
    const char* end = buffer.data() + buffer.size();
    SCOPED_TRACE(testing::Message() << "round " << round << ", from " << from);

    const char* words = SkipPlainWords(p, end, kFirst, kOther);
    ASSERT_TRUE(p <= words && words <= end);
    for (const char* c = p; c < words; ++c)
      ASSERT_TRUE(Plain(*c));
    // A word is passed over only when it is all plain, so the stop lies within one word of the
    // first byte that is not plain.
    const char* firstNotPlain = p;
    while (firstNotPlain < end && Plain(*firstNotPlain))
      ++firstNotPlain;
    ASSERT_TRUE(firstNotPlain - words < 8 || end - words < 8);

#if defined(QUORVEL_SCAN_SSE2)
    const char* blocks = SkipPlainBlocks(p, end, kFirst, kOther);
    ASSERT_TRUE(blocks == firstNotPlain || (blocks < firstNotPlain && end - blocks < 16));
#endif

    std::int64_t count = 0;
    const char* counted = CountOneByteMatches(p, end, kFirst, kOther, count);
    std::int64_t expected = 0;
    for (const char* c = p; c < counted; ++c) {
      ASSERT_LT(static_cast<unsigned char>(*c), 0x80);
      expected += *c == kFirst || *c == kOther;
    }
    ASSERT_EQ(count, expected);
    const char* firstHigh = p;
    while (firstHigh < end && static_cast<unsigned char>(*firstHigh) < 0x80)
      ++firstHigh;
#if defined(QUORVEL_SCAN_SSE2)
    ASSERT_TRUE(counted == firstHigh || end - counted < 16);
#else
    ASSERT_TRUE(firstNotPlain - counted < 8 || end - counted < 8);
#endif

    std::string copy(buffer.size() + 64, '\0');
    char* dst = copy.data();
    const char* dstStop = dst + engine() % (buffer.size() + 1);
    const char* copied = CopyPlain(p, end, dst, dstStop, kFirst, kOther);
    ASSERT_TRUE(p <= copied && copied <= firstNotPlain);
    ASSERT_EQ(dst - copy.data(), copied - p);
    ASSERT_EQ(copy.substr(0, static_cast<std::size_t>(copied - p)),
              std::string(p, static_cast<std::size_t>(copied - p)));
    // It stops short of the first byte that is not plain only for want of room or input.
    ASSERT_TRUE(firstNotPlain - copied <= kShort || dstStop - dst < kBlock ||
                end - copied < kBlock);
  }
}

// Long runs in which every byte matches fill the byte-wide counters of the block path fastest:
// the count must stay exact past 255 blocks, with or without a byte of 0x80 or above to stop at.
TEST(TextScan, CountsLongRunsOfMatchesExactly) {
  struct Case {
    std::size_t length;
    std::size_t highAt;  // where a byte of 0x80 or above stops the count; length for none
  };
  const Case cases[] = {
      {16 * 255, 16 * 255}, {16 * 256, 16 * 256},  {16 * 1000 + 5, 16 * 1000 + 5},
      {70000, 70000},       {70000, 16 * 255 + 7}, {70000, 16 * 1023 + 40},
  };
  for (const Case& c : cases) {
    std::string buffer(c.length, kFirst);
    if (c.highAt < c.length) buffer[c.highAt] = '\xB0';
    std::int64_t count = 0;
    const char* stop =
        CountOneByteMatches(buffer.data(), buffer.data() + buffer.size(), kFirst, kOther, count);
    const auto counted = static_cast<std::size_t>(stop - buffer.data());
    EXPECT_EQ(static_cast<std::size_t>(count), counted) << c.length << " " << c.highAt;
#if defined(QUORVEL_SCAN_SSE2)
    EXPECT_TRUE(counted == c.highAt || (c.highAt == c.length && c.length - counted < 16))
        << c.length << " " << c.highAt << " stopped at " << counted;
#endif
  }
}

// The backward expansion in place: random runs of one-byte characters expanded within one
// buffer whose output starts as little as 48 bytes above its input, with replacements of every
// length up to a block. The output must be exact, and no store may reach a byte still to be
// read (below the returned position) or go past the end of the output.
TEST(TextScan, BackwardExpansionStaysClearOfUnreadBytes) {
  std::mt19937 engine(4242);
  for (int round = 0; round < 3000; ++round) {
    std::string input = RandomBuffer(engine);
    for (char& c : input) {
      if (static_cast<unsigned char>(c) >= 0x80) c = 'h';
    }
    const std::string replacement(static_cast<std::size_t>(1 + engine() % 16), 'R');
    char padded[16] = {};
    std::copy(replacement.begin(), replacement.end(), padded + 16 - replacement.size());
    const std::size_t begin = 17 + engine() % 32;
    const std::size_t shift = 48 + engine() % 20;
    std::size_t matches = 0;
    for (char c : input)
      matches += c == kFirst || c == kOther;
    const std::size_t outEnd = begin + shift + input.size() + matches * (replacement.size() - 1);
    std::string buffer(outEnd + 32, '.');
    for (std::size_t i = 0; i < buffer.size(); ++i)
      buffer[i] = static_cast<char>('0' + i % 64);
    buffer.replace(begin, input.size(), input);
    const std::string original = buffer;
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ", input " << input.size() << ", replacement "
                 << replacement.size() << ", shift " << shift);

    char* dst = buffer.data() + outEnd;
    const char* stop =
        ExpandOneByteBlocksBackward(buffer.data() + begin, buffer.data() + begin + input.size(),
                                    dst, kFirst, kOther, padded, replacement.size());
    const auto done = static_cast<std::size_t>(stop - buffer.data());
    ASSERT_TRUE(done >= begin && done <= begin + input.size());
#if defined(QUORVEL_SCAN_SSE2)
    ASSERT_LT(done - begin, 16u);
#else
    ASSERT_EQ(done, begin + input.size());
#endif
    std::string expected;
    for (std::size_t i = done; i < begin + input.size(); ++i) {
      if (original[i] == kFirst || original[i] == kOther) {
        expected += replacement;
      } else {
        expected += original[i];
      }
    }
    ASSERT_EQ(std::string(dst, buffer.data() + outEnd), expected);
    ASSERT_EQ(buffer.substr(0, done), original.substr(0, done));
    ASSERT_EQ(buffer.substr(outEnd), original.substr(outEnd));
  }
}

}  // namespace
}  // namespace quorvel::scan
