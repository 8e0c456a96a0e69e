// The platform's stream object: a buffer of bytes with a position, read and written either as
// bytes or as text in a named charset. One object lives within one call on one thread.
#pragma once

#include <functional>
#include <memory>

#include "text/text.h"

namespace quorvel {

class StreamObject {
 public:
  static constexpr int kTypeBinary = 1;
  static constexpr int kTypeText = 2;

  virtual ~StreamObject() = default;

  // Each operation returns false when it failed and left the stream as it was.
  virtual bool SetType(int type) = 0;
  virtual bool SetPosition(long long position) = 0;
  // Charset names are matched without regard to ASCII case; an unknown name fails.
  virtual bool SetCharset(const Text& charset) = 0;
  // Opens an empty stream.
  virtual bool Open() = 0;
  // Writes bytes at the position (binary mode), overwriting and extending.
  virtual bool Write(const ByteArray& bytes) = 0;
  // The text from the position to the end, decoded from the charset (a byte-order mark at the
  // start of the stream is skipped) and converted to GBK; "?" stands for characters GBK lacks
  // and the text ends at a decoded zero. Empty on failure.
  virtual Text ReadText() = 0;
  virtual bool Close() = 0;
  // Writes the GBK text encoded in the charset at the position (text mode); an empty stream
  // first gets the charset's byte-order mark where the charset has one ("UTF-8", "Unicode").
  virtual bool WriteText(const Text& text) = 0;
  // The bytes from the position to the end (binary mode). Empty on failure.
  virtual ByteArray Read() = 0;
};

// A new stream object of the platform's, or of a test's factory; nullptr when none can be had.
std::unique_ptr<StreamObject> CreateStreamObject();
// For tests: make CreateStreamObject use factory; an empty function restores the backend's.
void OverrideStreamObjectFactory(std::function<std::unique_ptr<StreamObject>()> factory);

}  // namespace quorvel
