// Tests of the Linux stream object: text read and written in each charset it knows, byte-order
// marks, and the rules on modes, positions and closed streams.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "platform/stream_object.h"

namespace quorvel {
namespace {

ByteArray Bytes(const std::string& bytes) {
  return ByteArray(bytes.begin(), bytes.end());
}

std::unique_ptr<StreamObject> OpenStream(int type) {
  std::unique_ptr<StreamObject> stream = CreateStreamObject();
  EXPECT_NE(stream, nullptr);
  EXPECT_TRUE(stream->SetType(type));
  EXPECT_TRUE(stream->Open());
  return stream;
}

// The text that ReadText gives for bytes written in binary mode, read in charset.
Text ReadAs(const std::string& charset, const std::string& bytes) {
  std::unique_ptr<StreamObject> stream = OpenStream(StreamObject::kTypeBinary);
  EXPECT_TRUE(stream->Write(Bytes(bytes)));
  EXPECT_TRUE(stream->SetPosition(0));
  EXPECT_TRUE(stream->SetType(StreamObject::kTypeText));
  EXPECT_TRUE(stream->SetCharset(charset));
  return stream->ReadText();
}

// The bytes that WriteText leaves in a new stream for text in charset.
ByteArray WrittenAs(const std::string& charset, const Text& text) {
  std::unique_ptr<StreamObject> stream = OpenStream(StreamObject::kTypeText);
  EXPECT_TRUE(stream->SetCharset(charset));
  EXPECT_TRUE(stream->WriteText(text));
  EXPECT_TRUE(stream->SetPosition(0));
  EXPECT_TRUE(stream->SetType(StreamObject::kTypeBinary));
  return stream->Read();
}

struct TextCase {
  std::string charset;
  std::string bytes;
  Text text;  // GBK
};

TEST(StreamObjectTest, ReadTextDecodesIntoGbk) {
  const TextCase cases[] = {
      {"UTF-8", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},  // 中文
      {"utf-8",
       "\xE4\xB8\xAD"
       "a",
       "\xD6\xD0"
       "a"},
      {"UTF-8",
       "\xEF\xBB\xBF\xEF\xBB\xBF"
       "a",
       "?a"},  // only the first mark is skipped
      {"UTF-8",
       "a\xEA\xB0\x80"
       "b",
       "a?b"},  // 가 is not in GBK
      {"UTF-8",
       "a\xE4\xB8"
       "b\xFF",
       "a?b?"},                                // malformed input
      {"UTF-8", std::string("a\0b", 3), "a"},  // the text ends at a zero
      {"UTF-8", "\xE2\x82\xAC", "\x80"},       // €
      {"Unicode", std::string("\xFF\xFE\x2D\x4E\x87\x65", 6), "\xD6\xD0\xCE\xC4"},
      {"UNICODE", std::string("a\0b\0", 4), "ab"},
      {"Unicode", std::string("a\0\0\0b\0", 6), "a"},
      {"Unicode", std::string("a\0b", 3), "a?"},  // an odd last byte
      {"GBK",
       "\xD6\xD0"
       "a\x80",
       "\xD6\xD0"
       "a\x80"},
      {"gb2312",
       "\xEF\xBB\xBF"
       "a",
       "\xEF\xBB\xBF"
       "a"},  // GBK has no mark to skip
      {"GBK",
       "a\xFF"
       "b",
       "a?b"},
      {"GBK", "", ""},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(ReadAs(c.charset, c.bytes), c.text) << c.charset << " " << c.bytes;
  }
}

TEST(StreamObjectTest, WriteTextEncodesWithByteOrderMark) {
  const TextCase cases[] = {
      {"UTF-8", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},  // 中文
      {"Utf-8",
       "\xEF\xBB\xBF\xE2\x82\xAC"
       "a",
       "\x80"
       "a"},
      {"Unicode", std::string("\xFF\xFE\x2D\x4E\x87\x65", 6), "\xD6\xD0\xCE\xC4"},
      {"GBK", "\xD6\xD0\xCE\xC4", "\xD6\xD0\xCE\xC4"},
      {"GB2312", "\xAA\xA1", "\xAA\xA1"},  // a user-defined character survives
      {"UTF-8", "", ""},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(WrittenAs(c.charset, c.text), Bytes(c.bytes)) << c.charset << " " << c.text;
  }
}

TEST(StreamObjectTest, MarkOnlyAtStartOfEmptyStream) {
  std::unique_ptr<StreamObject> stream = OpenStream(StreamObject::kTypeText);
  ASSERT_TRUE(stream->SetCharset("UTF-8"));
  ASSERT_TRUE(stream->WriteText("a"));
  ASSERT_TRUE(stream->WriteText("b"));
  ASSERT_TRUE(stream->SetPosition(0));
  EXPECT_EQ(stream->ReadText(), "ab");
  ASSERT_TRUE(stream->SetPosition(0));
  ASSERT_TRUE(stream->SetType(StreamObject::kTypeBinary));
  EXPECT_EQ(stream->Read(), Bytes("\xEF\xBB\xBF"
                                  "ab"));
}

TEST(StreamObjectTest, WriteOverwritesAndExtendsAtPosition) {
  std::unique_ptr<StreamObject> stream = OpenStream(StreamObject::kTypeBinary);
  ASSERT_TRUE(stream->Write(Bytes("abcdef")));
  ASSERT_TRUE(stream->SetPosition(4));
  ASSERT_TRUE(stream->Write(Bytes("XYZ")));
  EXPECT_EQ(stream->Read(), ByteArray());  // the position is at the end
  ASSERT_TRUE(stream->SetPosition(2));
  EXPECT_EQ(stream->Read(), Bytes("cdXYZ"));

  // Beyond the end the stream grows by zero bytes.
  ASSERT_TRUE(stream->SetPosition(9));
  EXPECT_EQ(stream->Read(), ByteArray());
  ASSERT_TRUE(stream->SetPosition(5));
  EXPECT_EQ(stream->Read(), Bytes(std::string("YZ\0\0", 4)));
  ASSERT_TRUE(stream->SetPosition(INT_MAX));
  EXPECT_EQ(stream->Read(), ByteArray());
}

TEST(StreamObjectTest, RefusesWhatTheModeOrPositionForbids) {
  std::unique_ptr<StreamObject> stream = CreateStreamObject();
  ASSERT_NE(stream, nullptr);
  // Closed: only Type and Charset can be set.
  EXPECT_TRUE(stream->SetType(StreamObject::kTypeBinary));
  EXPECT_TRUE(stream->SetCharset("GBK"));
  EXPECT_FALSE(stream->SetPosition(0));
  EXPECT_FALSE(stream->Write(Bytes("a")));
  EXPECT_EQ(stream->Read(), ByteArray());
  EXPECT_FALSE(stream->Close());

  ASSERT_TRUE(stream->Open());
  EXPECT_FALSE(stream->Open());
  EXPECT_FALSE(stream->SetType(3));
  EXPECT_FALSE(stream->SetCharset("klingon"));
  EXPECT_FALSE(stream->SetCharset(""));
  EXPECT_FALSE(stream->WriteText("a"));  // binary mode
  ASSERT_TRUE(stream->Write(Bytes("\xD6\xD0")));
  EXPECT_FALSE(stream->SetPosition(-1));
  EXPECT_FALSE(stream->SetPosition(LLONG_MAX));
  EXPECT_FALSE(stream->SetType(StreamObject::kTypeText));  // not at position 0
  EXPECT_FALSE(stream->SetCharset("UTF-8"));
  EXPECT_EQ(stream->ReadText(), "");  // binary mode

  ASSERT_TRUE(stream->SetPosition(0));
  ASSERT_TRUE(stream->SetType(StreamObject::kTypeText));
  EXPECT_FALSE(stream->Write(Bytes("a")));  // text mode
  EXPECT_EQ(stream->Read(), ByteArray());
  EXPECT_EQ(stream->ReadText(), "\xD6\xD0");  // still GBK: the unknown names changed nothing

  // Closing drops the content; Type and Charset stay.
  ASSERT_TRUE(stream->Close());
  EXPECT_EQ(stream->ReadText(), "");
  ASSERT_TRUE(stream->Open());
  ASSERT_TRUE(stream->WriteText("\xD6\xD0"));
  ASSERT_TRUE(stream->SetPosition(0));
  ASSERT_TRUE(stream->SetType(StreamObject::kTypeBinary));
  EXPECT_EQ(stream->Read(), Bytes("\xD6\xD0"));
}

}  // namespace
}  // namespace quorvel
