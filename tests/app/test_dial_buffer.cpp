// The dial buffer keeps at most 999 characters and its terminator inside its 1000 bytes, whoever edits it.
#include <gtest/gtest.h>

#include "foundation/dial_buffer.h"

#include <cstring>
#include <string>
#include <thread>

using phonedock::DialBuffer;

TEST(DialBuffer, EditsKeepTheTextWithinItsBytes) {
    DialBuffer buffer;
    EXPECT_EQ(buffer.Copy().length, 0);
    EXPECT_TRUE(buffer.Append('1'));
    EXPECT_TRUE(buffer.Append('+'));
    EXPECT_STREQ(buffer.Copy().text, "1+");
    buffer.DeleteLast();
    buffer.DeleteLast();
    buffer.DeleteLast();  // on an empty buffer: nothing
    EXPECT_EQ(buffer.Copy().length, 0);
    EXPECT_STREQ(buffer.Copy().text, "");

    for (int i = 0; i < 999; ++i) ASSERT_TRUE(buffer.Append('9'));
    EXPECT_FALSE(buffer.Append('8'));
    DialBuffer::Snapshot full = buffer.Copy();
    EXPECT_EQ(full.length, 999);
    EXPECT_EQ(std::strlen(full.text), 999u);

    const std::string longName(5000, 'n');
    buffer.Replace(longName.data(), longName.size());
    EXPECT_EQ(buffer.Copy().length, 999);
    EXPECT_EQ(std::strlen(buffer.Copy().text), 999u);
    buffer.Replace("Ada", 3);
    EXPECT_STREQ(buffer.Copy().text, "Ada");
    buffer.Clear();
    EXPECT_EQ(buffer.Copy().length, 0);
}

TEST(DialBuffer, TwoWritersNeverBreakIt) {
    DialBuffer buffer;
    std::thread keys([&] {
        for (int i = 0; i < 20000; ++i) {
            if (i % 3 == 2) {
                buffer.DeleteLast();
            } else {
                buffer.Append('5');
            }
        }
    });
    const std::string name(1200, 'x');
    for (int i = 0; i < 2000; ++i) {
        if (i % 2 == 0) {
            buffer.Replace(name.data(), name.size() - static_cast<size_t>(i % 700));
        } else {
            buffer.Clear();
        }
        const DialBuffer::Snapshot s = buffer.Copy();
        ASSERT_GE(s.length, 0);
        ASSERT_LE(s.length, 999);
        ASSERT_EQ(std::strlen(s.text), static_cast<size_t>(s.length));
    }
    keys.join();
}
