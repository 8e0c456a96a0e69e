// The group encoders behind Base64Encode: a portable one and, where the compiler and CPU
// allow, an AVX2 one. For base64.cpp, its tests and the benchmarks only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/text.h"

namespace quorvel::base64_internal {

// Writes the four characters of each of the groupCount three-byte groups at in to out
// (4 * groupCount bytes). Reads exactly 3 * groupCount bytes; no padding, no terminator.
using GroupEncoder = void (*)(const std::uint8_t* in, std::size_t groupCount, char* out);

// The table-driven encoder; works everywhere.
void EncodeGroupsPortable(const std::uint8_t* in, std::size_t groupCount, char* out);

// The AVX2 encoder when this build has one and the CPU runs it; nullptr otherwise.
GroupEncoder Avx2GroupEncoder();

// The encoder Base64Encode uses: AVX2 when available, else the portable one.
GroupEncoder BestGroupEncoder();

// Base64Encode with a chosen group encoder; same result and same effect on bytes.
Text Base64EncodeWith(ByteArray& bytes, GroupEncoder encoder);

}  // namespace quorvel::base64_internal
