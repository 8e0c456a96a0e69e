// Tests of Base64Encode: known vectors, what it does to the caller's array, and agreement of
// the portable and AVX2 encoders with a plain bit-by-bit reference on random data.
#include "text/base64.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <utility>

#include "text/base64_internal.h"

namespace quorvel {
namespace {

ByteArray Bytes(const std::string& s) {
  return ByteArray(s.begin(), s.end());
}

TEST(Base64EncodeTest, KnownVectors) {
  struct Case {
    std::string input;
    Text expected;
  };
  const Case cases[] = {
      // RFC 4648, section 10.
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      // 6-bit groups 62 and 63 give "+" and "/", unescaped.
      {"\xFB\xFF", "+/8="},
      {"\xFB\xEF\xBE\xFF\xFF\xFF", "++++////"},
      // Zero bytes are data like any other.
      {std::string(4, '\0'), "AAAAAA=="},
      // "中文" in GBK.
      {"\xD6\xD0\xCE\xC4", "1tDOxA=="},
  };
  for (const Case& c : cases) {
    ByteArray bytes = Bytes(c.input);
    EXPECT_EQ(Base64Encode(bytes), c.expected) << "input of " << c.input.size() << " bytes";
  }
}

TEST(Base64EncodeTest, PadsCallersArrayWithZeroBytes) {
  struct Case {
    std::string input;
    std::string after;
  };
  const Case cases[] = {
      {"", ""},
      {"abcd", std::string("abcd\0\0", 6)},
      {"abcde", std::string("abcde\0", 6)},
      {"abcdef", "abcdef"},
  };
  for (const Case& c : cases) {
    ByteArray bytes = Bytes(c.input);
    Base64Encode(bytes);
    EXPECT_EQ(bytes, Bytes(c.after)) << "input " << c.input;
  }
}

TEST(Base64EncodeTest, PadsInPlaceWhenCapacityAllows) {
  // A package read with two spare bytes must not be copied to be padded.
  ByteArray bytes = Bytes("12345");
  bytes.reserve(7);
  const std::uint8_t* before = bytes.data();
  EXPECT_EQ(Base64Encode(bytes), "MTIzNDU=");
  EXPECT_EQ(bytes.data(), before);
}

// The text keeps a sixteenth more capacity than it needs, so that the upload text can write
// each "+" as "%2B" within it (random data has one "+" in 64 characters).
TEST(Base64EncodeTest, LeavesRoomToEscapePlusSignsInPlace) {
  std::mt19937 random(515);
  for (std::size_t n : {3000u, 1u << 20}) {
    ByteArray bytes(n);
    for (std::uint8_t& b : bytes)
      b = static_cast<std::uint8_t>(random());
    Text text = Base64Encode(bytes);
    EXPECT_GE(text.capacity(), text.size() + text.size() / 16) << n;
    const char* before = text.data();
    const Text escaped = TextReplace(std::move(text), "+", "%2B", 1, kNoLimit, true);
    EXPECT_EQ(escaped.data(), before) << n;
  }
}

// RFC 4648 taken literally: a stream of bits cut into 6-bit groups, "=" up to a multiple of 4.
Text ReferenceBase64(const ByteArray& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Text out;
  unsigned bits = 0;
  int bitCount = 0;
  for (std::uint8_t b : bytes) {
    bits = (bits << 8) | b;
    bitCount += 8;
    while (bitCount >= 6) {
      bitCount -= 6;
      out += kAlphabet[(bits >> bitCount) & 63];
    }
  }
  if (bitCount > 0) out += kAlphabet[(bits << (6 - bitCount)) & 63];
  while (out.size() % 4 != 0)
    out += '=';
  return out;
}

TEST(Base64EncodeTest, EncodersAgreeWithReferenceOnRandomData) {
  using namespace base64_internal;
  const GroupEncoder avx2 = Avx2GroupEncoder();
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 200; ++n)
    sizes.push_back(n);
  // Around the boundaries of the 1024-group output slices, and a few large sizes.
  for (std::size_t n : {3072u, 6144u, 1u << 20, 3u << 20}) {
    for (std::size_t d = 0; d <= 4; ++d)
      sizes.insert(sizes.end(), {n - d, n + d});
  }
  std::mt19937 random(20240611);
  for (std::size_t n : sizes) {
    ByteArray data(n);
    for (std::uint8_t& b : data)
      b = static_cast<std::uint8_t>(random());
    const Text expected = ReferenceBase64(data);

    ByteArray copy = data;
    EXPECT_EQ(Base64EncodeWith(copy, &EncodeGroupsPortable), expected) << "portable, n=" << n;
    copy = data;
    EXPECT_EQ(Base64Encode(copy), expected) << "dispatched, n=" << n;
    if (avx2 != nullptr) {
      copy = data;
      EXPECT_EQ(Base64EncodeWith(copy, avx2), expected) << "avx2, n=" << n;
    }
  }
  if (avx2 == nullptr) GTEST_SKIP() << "no AVX2 encoder on this build or CPU";
}

}  // namespace
}  // namespace quorvel
