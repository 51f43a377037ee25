#include "interface_name.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

const std::string kPath = "\\\\?\\hid#vid_04b4&pid_0302#8&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::vector<uint8_t> Ansi(const std::string& name) {
    return std::vector<uint8_t>(name.c_str(), name.c_str() + name.size() + 1);
}

std::vector<uint8_t> Utf16(const std::string& name) {
    std::vector<uint8_t> bytes;
    for (const char c : name + '\0') {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

bool Names(const std::vector<uint8_t>& name, const std::string& path = kPath) {
    return vocetta::BroadcastNameIs(name.data(), name.size(), path);
}

}  // namespace

TEST(InterfaceName, TheSamePathInEitherCharacterSetAndAnyCaseMatches) {
    std::string upper = kPath;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(Names(Ansi(kPath)));
    EXPECT_TRUE(Names(Ansi(upper)));
    EXPECT_TRUE(Names(Utf16(kPath)));
    EXPECT_TRUE(Names(Utf16(upper)));
}

TEST(InterfaceName, AnotherPathAPrefixOrALongerNameDoesNotMatch) {
    EXPECT_FALSE(Names(Ansi("\\\\?\\hid#mouse")));
    EXPECT_FALSE(Names(Ansi(kPath.substr(0, kPath.size() - 1))));
    EXPECT_FALSE(Names(Ansi(kPath + "x")));
    EXPECT_FALSE(Names(Utf16(kPath + "x")));
    EXPECT_FALSE(Names(Ansi(""), ""));  // an empty name is no device
    std::vector<uint8_t> beyondAscii = Utf16(kPath);
    beyondAscii[1] = 0x01;  // U+015C is not the path's backslash
    EXPECT_FALSE(Names(beyondAscii));
}

TEST(InterfaceName, ANameCutBeforeItsTerminatorIsNoMatch) {
    std::vector<uint8_t> ansi = Ansi(kPath);
    EXPECT_FALSE(vocetta::BroadcastNameIs(ansi.data(), ansi.size() - 1, kPath));
    std::vector<uint8_t> wide = Utf16(kPath);
    EXPECT_FALSE(vocetta::BroadcastNameIs(wide.data(), wide.size() - 1, kPath));  // half a terminator
    EXPECT_FALSE(vocetta::BroadcastNameIs(nullptr, 0, kPath));
}
