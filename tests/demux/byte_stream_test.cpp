#include <gtest/gtest.h>

#include "core/context.h"
#include "demux/byte_stream.h"
#include "demux/es_out.h"
#include "demux_test_util.h"

namespace {

using mp4test::captureStdout;
using testing_util::TempDir;

class ByteStreamTest : public ::testing::Test {
  protected:
    ByteStream* open(const std::vector<uint8_t>& bytes) {
        path_ = dir_.file("data.bin");
        testing_util::writeFile(path_, bytes);
        ByteStream* s = nullptr;
        EXPECT_EQ(fs_Open(path_.c_str(), &s), 0);
        return s;
    }
    TempDir dir_;
    std::string path_;
};

std::vector<uint8_t> counting(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i);
    return v;
}

TEST_F(ByteStreamTest, EmptyFileOpensSilentlyAndPeeksNothing) {
    ByteStream* s = nullptr;
    std::string out = captureStdout([&] { s = open({}); });
    EXPECT_EQ(out, "");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(bs_Size(s), 0);
    const uint8_t* p = nullptr;
    EXPECT_EQ(bs_Peek(s, &p, 8), 0);
    fs_Close(s);
}

TEST_F(ByteStreamTest, MissingFileFailsWithoutMessage) {
    ByteStream* s = reinterpret_cast<ByteStream*>(1);
    std::string out = captureStdout([&] { EXPECT_EQ(fs_Open(dir_.file("none").c_str(), &s), -1); });
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(out, "");
}

TEST_F(ByteStreamTest, ReadPeekAndSkipKeepThePosition) {
    ByteStream* s = open(counting(100));
    uint8_t buf[10];
    EXPECT_EQ(bs_Read(s, buf, 10), 10);
    EXPECT_EQ(bs_Tell(s), 10);
    const uint8_t* p = nullptr;
    ASSERT_EQ(bs_Peek(s, &p, 4), 4);
    EXPECT_EQ(p[0], 10);
    ASSERT_EQ(bs_Peek(s, &p, 4), 4);  // a peek does not move
    EXPECT_EQ(p[3], 13);
    EXPECT_EQ(bs_Tell(s), 10);
    EXPECT_EQ(bs_Read(s, nullptr, 20), 20);  // skip
    EXPECT_EQ(bs_Tell(s), 30);
    // A skip past the end returns what was left and stops at the end.
    EXPECT_EQ(bs_Read(s, nullptr, 500), 70);
    EXPECT_EQ(bs_Tell(s), 100);
    ASSERT_EQ(bs_Seek(s, 95), 0);
    std::string out = captureStdout([&] { EXPECT_EQ(bs_Read(s, buf, 10), 5); });
    EXPECT_EQ(out, "fs_Read, the bytes read isn't the same as the expected!\n");
    fs_Close(s);
}

TEST_F(ByteStreamTest, ReadBlockCases) {
    ByteStream* s = open(counting(100));
    EXPECT_EQ(bs_ReadBlock(s, 0), nullptr);
    ASSERT_EQ(bs_Seek(s, 90), 0);
    Block* b = bs_ReadBlock(s, 20);  // near the end: what is there
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size, 10);
    EXPECT_EQ(b->buffer[0], 90);
    block_Free(b);
    EXPECT_EQ(bs_ReadBlock(s, 4), nullptr);  // at the end
    // A hostile size never allocates more than the file holds.
    ASSERT_EQ(bs_Seek(s, 0), 0);
    b = bs_ReadBlock(s, INT64_C(0x7FFFFFFFFFFF));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->capacity, 100);
    block_Free(b);
    fs_Close(s);
}

TEST_F(ByteStreamTest, ControlQueries) {
    ByteStream* s = open(counting(10));
    bool flag = false;
    EXPECT_EQ(bs_Control(s, FS_QUERY_CAN_SEEK, &flag), 0);
    EXPECT_TRUE(flag);
    int32_t mtu = 0;
    EXPECT_EQ(bs_Control(s, FS_QUERY_GET_MTU, &mtu), 0);
    EXPECT_EQ(mtu, -1);
    g_context.success = 1;
    std::string out = captureStdout([&] { EXPECT_EQ(bs_Control(s, 6), -1); });
    EXPECT_EQ(out, "fs_Control, undefine command, 6\n");
    EXPECT_EQ(g_context.success, 0);
    fs_Close(s);
}

TEST(EsDescriptorTest, CopyOfDescriptorWithoutExtraHasNone) {
    EsDescriptor src;
    es_descriptor_Init(&src, VIDEO_ES, fourcc('m', 'p', '4', 'v'));
    uint8_t stray = 7;
    src.extra = &stray;  // set but with size 0
    EsDescriptor dst;
    es_descriptor_Copy(&dst, &src);
    EXPECT_EQ(dst.extra, nullptr);
    EXPECT_EQ(dst.extraSize, 0);
    EXPECT_EQ(dst.codec, fourcc('m', 'p', '4', 'v'));

    uint8_t bytes[3] = {1, 2, 3};
    src.extra = bytes;
    src.extraSize = 3;
    es_descriptor_Copy(&dst, &src);
    ASSERT_NE(dst.extra, bytes);
    EXPECT_EQ(dst.extra[2], 3);
    es_descriptor_Clean(&dst);
    EXPECT_EQ(dst.extra, nullptr);
}

}  // namespace
