// The platform's code-page functions, in the shape of the Windows calls the text layer is
// written against. Implemented by the build's backend; callable from any thread.
#pragma once

namespace quorvel {

class CodePages {
 public:
  virtual ~CodePages() = default;
  // MultiByteToWideChar(codePage, 0, text, -1, buffer, bufferUnits): decodes the
  // zero-terminated text, terminator included. With bufferUnits 0 it only measures. Returns
  // the number of UTF-16 units written (or needed), terminator included; 0 on failure, which
  // includes a buffer that is too small (what was converted until then stays in it).
  // Code page 0 is the ANSI code page (936, GBK); 65001 is UTF-8. Undecodable bytes become
  // the replacement character.
  virtual int MultiByteToWideChar(int codePage, const char* text, char16_t* buffer,
                                  int bufferUnits) = 0;
  // WideCharToMultiByte(codePage, 0, wide, -1, buffer, bufferBytes, nullptr, nullptr): encodes
  // the zero-terminated UTF-16 text, terminator included; bufferBytes 0 only measures.
  // Characters the code page lacks become its default character "?". Returns bytes written
  // (or needed), terminator included; 0 on failure, as above.
  virtual int WideCharToMultiByte(int codePage, const char16_t* wide, char* buffer,
                                  int bufferBytes) = 0;
};

// The code-page functions in force: the backend's, unless a test put others in place.
CodePages& SystemCodePages();
// For tests: use pages instead of the backend's; nullptr restores the backend's.
void OverrideCodePages(CodePages* pages);

}  // namespace quorvel
