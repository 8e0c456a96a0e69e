// TextReplace of text.h: the copying form, and the form that takes over the caller's text and
// rewrites it within its own buffer when the result fits there. Callable from any thread.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "text/text.h"
#include "text/text_scan.h"
#include "text/text_walk.h"

namespace quorvel {
namespace {

using walk::FindFrom;
using walk::IsHigh;
using walk::MatchesAt;
using walk::Offset;
using walk::OtherCase;
using walk::Size;
using walk::Step;

// A stretch of TextReplace's scan. begin and end are positions that the scan reaches, so the
// matches inside lie wholly within [begin, end) and a scan started at begin finds them again.
struct Segment {
  Offset begin;
  Offset end;
  Offset matches;
  bool ascii;  // for a one-byte sought text: no byte of 0x80 or above in [begin, end)
};

// The scan of TextReplace from its start, cut into segments of a bounded number of matches
// (and, for a one-byte sought text, of input bytes). The bytes from stop on are kept as they
// are, except that when dropsLast the scan ended on an unpaired lead byte at the very end
// (stop is then its offset) and drops it.
struct ReplacePlan {
  std::vector<Segment> segments;
  Offset stop = 0;
  Offset matches = 0;
  bool dropsLast = false;
};

constexpr Offset kSegmentBytes = 16384;
constexpr Offset kSegmentMatches = 16384;

// Runs the scan of TextReplace over text from offset from, at most maxCount matches (negative:
// no limit), without writing anything. Without keepSegments the plan only counts (and then
// allocates nothing).
ReplacePlan PlanReplace(std::string_view text, std::string_view sought, Offset from, int maxCount,
                        bool ignoreCase, bool keepSegments) {
  ReplacePlan plan;
  const Offset length = Size(text);
  const Offset s = Size(sought);
  const char* base = text.data();
  std::int64_t remaining = maxCount < 0 ? INT64_MAX : maxCount;
  Offset p = from;
  Segment segment{p, p, 0, true};
  auto close = [&] {
    segment.end = p;
    if (keepSegments && p > segment.begin) plan.segments.push_back(segment);
    plan.matches += segment.matches;
    segment = Segment{p, p, 0, true};
  };
  if (s == 1) {  // runs of one-byte characters are counted a block at a time
    const char first = sought[0];
    const char other = ignoreCase ? OtherCase(first) : first;
    while (p < length && remaining > 0) {
      if (p - segment.begin >= kSegmentBytes) close();
      if (!IsHigh(base[p])) {  // (a two-byte character goes straight to the step below)
        const Offset bound = std::min(length, segment.begin + kSegmentBytes);
        std::int64_t n = 0;
        const Offset q = scan::CountOneByteMatches(base + p, base + bound, first, other, n) - base;
        if (n >= remaining) {  // the last allowed match lies in [p, q), all one-byte characters
          segment.matches += remaining;
          for (; remaining > 0; ++p)
            remaining -= base[p] == first || base[p] == other;
          break;
        }
        segment.matches += n;
        remaining -= n;
        p = q;
        if (p == bound) continue;
      }
      if (IsHigh(base[p])) segment.ascii = false;
      const Offset next = Step(text, p);
      if (MatchesAt(base + p, sought, ignoreCase)) {
        ++segment.matches;
        --remaining;
        ++p;
      } else if (next < 0) {
        plan.dropsLast = true;
        break;
      } else {
        p = next;
      }
    }
  } else {
    for (Offset m; remaining > 0 && (m = FindFrom(text, sought, p, length, ignoreCase)) >= 0;) {
      ++segment.matches;
      --remaining;
      p = m + s;
      if (segment.matches == kSegmentMatches) close();
    }
  }
  close();
  plan.stop = p;
  return plan;
}

// Writes to out the text with TextReplace's scan applied from offset from on (the bytes before
// it are the caller's): occurrences of sought, at most maxCount of them (negative: no limit),
// become replacement; an unpaired lead byte at the end that the scan reaches without a match is
// dropped; the rest is copied. out may write in place over text, when replacement is no longer
// than sought: then it never writes more bytes than the walk has read.
void WalkReplace(std::string_view text, std::string_view sought, std::string_view replacement,
                 Offset from, int maxCount, bool ignoreCase, scan::Writer& out) {
  const char* src = text.data() + from;
  const char* end = text.data() + text.size();
  const auto s = static_cast<std::ptrdiff_t>(sought.size());
  const char first = sought[0];
  const char other = ignoreCase ? OtherCase(first) : first;
  // The loop writes straight into the writer's buffer; a short replacement goes out with one
  // 16-byte store. Between refills the cursor stays within kRoom - 1024 bytes of where it
  // began, leaving room for the stores that run ahead of it.
  const bool shortReplacement = replacement.size() <= 16;
  char padded[16] = {};
  if (shortReplacement) std::memcpy(padded, replacement.data(), replacement.size());
  const bool oneByteBlocks = s == 1 && shortReplacement;
  std::int64_t remaining = maxCount < 0 ? INT64_MAX : maxCount;
  constexpr std::size_t kStretch = scan::Writer::kRoom - 1024;
  char* dst = out.Acquire();
  char* dstStop = dst + kStretch;
  while (end - src >= s) {
    if (dst >= dstStop) {
      out.Release(dst);
      dst = out.Acquire();
      dstStop = dst + kStretch;
    }
    if (!IsHigh(*src)) {  // (a two-byte character goes straight to the steps below)
      if (oneByteBlocks) {
        src = scan::ReplaceOneByteBlocks(src, end, dst, dstStop, first, other, padded,
                                         replacement.size(), remaining);
        if (remaining == 0) break;  // the blocks used up the count
        if (dst >= dstStop) continue;
      }
      src = scan::CopyPlain(src, end, dst, dstStop, first, other);
      if (end - src < s) break;
    }
    if (MatchesAt(src, sought, ignoreCase)) {
      if (shortReplacement) {
        std::memcpy(dst, padded, 16);
        dst += replacement.size();
      } else {
        out.Release(dst);
        out.Put(replacement.data(), replacement.size());
        dst = out.Acquire();
        dstStop = dst + kStretch;
      }
      src += s;
      if (--remaining == 0) break;
    } else if (!IsHigh(*src)) {
      *dst++ = *src++;
    } else if (end - src == 1) {
      out.Release(dst);
      return;  // the unpaired lead byte is dropped
    } else {
      dst[0] = src[0];
      dst[1] = src[1];
      dst += 2;
      src += 2;
    }
  }
  out.Release(dst);
  out.Put(src, static_cast<std::size_t>(end - src));
}

// The copying TextReplace past its trivial cases, into a new text of capacity size.
Text CopyReplaced(std::string_view text, std::string_view sought, std::string_view replacement,
                  Offset from, int maxCount, bool ignoreCase, Offset size) {
  Text result;
  result.reserve(static_cast<std::size_t>(size));
  scan::Writer out(result);
  out.Put(text.data(), static_cast<std::size_t>(from));
  WalkReplace(text, sought, replacement, from, maxCount, ignoreCase, out);
  out.Flush();
  return result;
}

// A segment's matches, found again by a scan from its start.
void FindMatches(std::string_view text, std::string_view sought, const Segment& segment,
                 bool ignoreCase, std::vector<Offset>& found) {
  found.clear();
  for (Offset p = segment.begin; static_cast<Offset>(found.size()) < segment.matches;
       p += Size(sought)) {
    p = FindFrom(text, sought, p, segment.end, ignoreCase);
    if (p < 0) break;  // cannot happen: the plan found them
    found.push_back(p);
  }
}

// Carries out plan on the text at base, whose first length bytes are the input and whose
// buffer holds newSize bytes, for a replacement longer than sought. Works from the back to the
// front, so that every byte is read before the output that grows over it is written: the tail
// after the scan moves up first, then each segment, whose output lies at or above its input.
void ExpandInPlace(char* base, Offset length, Offset newSize, const ReplacePlan& plan,
                   std::string_view sought, std::string_view replacement, bool ignoreCase) {
  const Offset s = Size(sought);
  const Offset r = Size(replacement);
  const Offset kept = plan.dropsLast ? 0 : length - plan.stop;
  Offset outEnd = newSize - kept;
  std::memmove(base + outEnd, base + plan.stop, static_cast<std::size_t>(kept));

  // Segments of one-byte characters go a block at a time when the replacement fits a block and
  // the output lies far enough above the input (see ExpandOneByteBlocksBackward).
  bool blocks = s == 1 && r <= 16;
#if !defined(QUORVEL_SCAN_SSE2)
  blocks = false;
#endif
  const char first = sought[0];
  const char other = ignoreCase ? OtherCase(first) : first;
  char padded[16] = {};  // the replacement at the end of 16 bytes
  if (r <= 16) std::memcpy(padded + 16 - r, replacement.data(), static_cast<std::size_t>(r));

  std::vector<Offset> found;
  const std::string_view input(base, static_cast<std::size_t>(length));
  for (auto segment = plan.segments.rbegin(); segment != plan.segments.rend(); ++segment) {
    const Offset size = segment->end - segment->begin;
    const Offset outStart = outEnd - size - segment->matches * (r - s);
    const Offset shift = outStart - segment->begin;  // what the matches before it add
    char* dst = base + outEnd;
    const char* src = base + segment->end;
    if (segment->matches == 0) {
      if (shift == 0) break;  // nothing before it moves either
      std::memmove(base + outStart, base + segment->begin, static_cast<std::size_t>(size));
    } else if (blocks && segment->ascii && shift >= 64 && segment->begin >= 32) {
      src = scan::ExpandOneByteBlocksBackward(base + segment->begin, src, dst, first, other, padded,
                                              static_cast<std::size_t>(r));
      while (src > base + segment->begin) {
        if (const char c = *--src; c == first || c == other) {
          dst -= r;
          std::memcpy(dst, replacement.data(), static_cast<std::size_t>(r));
        } else {
          *--dst = c;
        }
      }
    } else {  // from the last match back: the bytes after it move up, the replacement goes in
      FindMatches(input, sought, *segment, ignoreCase, found);
      for (auto m = found.rbegin(); m != found.rend(); ++m) {
        const Offset after = *m + s;
        dst -= src - (base + after);
        std::memmove(dst, base + after, static_cast<std::size_t>(src - (base + after)));
        dst -= r;
        std::memcpy(dst, replacement.data(), static_cast<std::size_t>(r));
        src = base + *m;
      }
      std::memmove(base + outStart, base + segment->begin,
                   static_cast<std::size_t>(src - (base + segment->begin)));
    }
    outEnd = outStart;
  }
}

}  // namespace

Text TextReplace(const Text& text, const Text& sought, const Text& replacement, int start,
                 int maxCount, bool matchCase) {
  const Offset length = Size(text);
  const Offset s = Size(sought);
  const Offset from = start <= 1 ? 0 : Offset{start} - 1;
  if (length == 0 || s == 0 || from >= length || maxCount == 0) return text;
  // Size the result once: a longer replacement needs the number of matches first.
  Offset size = length;
  if (Size(replacement) > s) {
    size += PlanReplace(text, sought, from, maxCount, !matchCase, false).matches *
            (Size(replacement) - s);
  }
  return CopyReplaced(text, sought, replacement, from, maxCount, !matchCase, size);
}

Text TextReplace(Text&& text, const Text& sought, const Text& replacement, int start, int maxCount,
                 bool matchCase) {
  const Offset length = Size(text);
  const Offset s = Size(sought);
  const Offset r = Size(replacement);
  const Offset from = start <= 1 ? 0 : Offset{start} - 1;
  if (length == 0 || s == 0 || from >= length || maxCount == 0) return std::move(text);
  // A text that is also the sought text or the replacement must stay as it is while it is read.
  if (&text == &sought || &text == &replacement) {
    return TextReplace(std::as_const(text), sought, replacement, start, maxCount, matchCase);
  }
  const bool ignoreCase = !matchCase;
  char* base = text.data();
  if (r <= s) {  // the result is no longer: compact from the front
    scan::Writer out(base + from);
    WalkReplace(text, sought, replacement, from, maxCount, ignoreCase, out);
    out.Flush();
    text.resize(static_cast<std::size_t>(out.Position() - base));
    return std::move(text);
  }
  const ReplacePlan plan = PlanReplace(text, sought, from, maxCount, ignoreCase, true);
  const Offset newSize = length - (plan.dropsLast ? 1 : 0) + plan.matches * (r - s);
  if (static_cast<std::size_t>(newSize) > text.capacity()) {
    Text result = CopyReplaced(text, sought, replacement, from, maxCount, ignoreCase, newSize);
    Text().swap(text);  // the caller gave it up: free it now rather than when its owner ends
    return result;
  }
  if (plan.matches > 0) {
    text.resize(static_cast<std::size_t>(newSize));  // within the capacity: the buffer stays
    ExpandInPlace(text.data(), length, newSize, plan, sought, replacement, ignoreCase);
  }
  text.resize(static_cast<std::size_t>(newSize));  // without a match, only a dropped lead byte
  return std::move(text);
}

}  // namespace quorvel
