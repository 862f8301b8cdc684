// The text-mode reader: how 0x0D and 0x1A bytes change what the game reads.
#include <gtest/gtest.h>

#include "platform/stream.h"

using platform::TextStream;

TEST(TextStream, GetcSkipsCarriageReturnAndReadsControlZAsEndOfFile) {
    TextStream s({0x41, 0x0D, 0x0A, 0x1A, 0x42, 0x0D, 0x0D, 0x0D, 0x1A, 0x43});
    EXPECT_EQ(s.getc(), 0x41);
    EXPECT_EQ(s.getc(), 0x0A);  // 0x0D skipped
    EXPECT_EQ(s.getc(), -1);    // 0x1A reads as end of file once
    EXPECT_EQ(s.getc(), 0x42);  // and reading goes on
    EXPECT_EQ(s.getc(), 0x0D);  // the byte after a skipped 0x0D is not tested again
    EXPECT_EQ(s.getc(), -1);    // 0x0D then 0x1A
    EXPECT_EQ(s.getc(), 0x43);
    EXPECT_EQ(s.getc(), -1);
}

TEST(TextStream, BlockReadStopsAtControlZAndPacksFilteredBytes) {
    TextStream s({1, 0x0D, 0x0A, 2, 3, 4, 0x1A, 5, 6});
    unsigned char buf[8] = {};
    EXPECT_EQ(s.read(buf, 2, 4), 2u);  // 1 0A 2 3 4 -> two whole items, then 0x1A ends the read
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[1], 0x0A);
    EXPECT_EQ(buf[4], 4);
    EXPECT_EQ(buf[5], 0);
}

TEST(TextStream, SeekUsesRawOffsets) {
    TextStream s({0x07, 0x0D, 0x10, 0x20});
    s.seek(3, 0);
    EXPECT_EQ(s.getc(), 0x20);
    s.seek(-1, 1);
    EXPECT_EQ(s.getc(), 0x20);
    s.seek(-100, 1);  // before the start: the first byte
    EXPECT_EQ(s.getc(), 0x07);
    EXPECT_EQ(s.getc(), 0x10);
    TextStream closed;
    EXPECT_EQ(closed.getc(), -1);
}
