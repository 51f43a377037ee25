// The program's resources (ui_resources.rc, compiled by windres and embedded by the build): finding them by
// id, by name and by type string, the language chosen, the loaders for strings and icons, and resource files
// that are not well formed.
#include "support/code_page.h"
#include "support/winsim_fixture.h"
#include "ui_resource_ids.h"

#include <cstring>
#include <string>

using winsim_test::ansiOf;

namespace {

class ResourceTest : public WinsimTest {
  protected:
    HMODULE program = GetModuleHandleA(nullptr);
};

std::string resourceText(HMODULE module, HRSRC resource) {
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    return std::string(bytes, SizeofResource(module, resource));
}

}  // namespace

TEST_F(ResourceTest, FindsByOrdinalByNameAndByTypeStringInAnyCase) {
    HRSRC chinese = FindResourceA(program, MAKEINTRESOURCEA(TEST_WAVE_CHINESE), "WAVE");
    ASSERT_NE(chinese, nullptr);
    EXPECT_EQ(resourceText(program, chinese), "chinese");
    // "#51" is the same name as MAKEINTRESOURCE(51); type and name strings ignore case.
    EXPECT_EQ(FindResourceA(program, "#51", "wave"), chinese);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(TEST_WAVE_CHINESE), "Wave"), chinese);
    HRSRC named = FindResourceA(program, "namedtone", "WAVE");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(resourceText(program, named), "named");
    EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(TEST_MENU), RT_MENU), nullptr);
}

TEST_F(ResourceTest, ALanguageNeutralResourceIsTakenFirstOtherwiseAnyLanguage) {
    HRSRC wave = FindResourceA(program, MAKEINTRESOURCEA(TEST_WAVE), "WAVE");
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(resourceText(program, wave), "neutral");
    // The program's own resources are all Chinese; they are found all the same.
    EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(TEST_DIALOG), RT_DIALOG), nullptr);
}

TEST_F(ResourceTest, MissingResourcesTellTheTypeFromTheNameAndOtherModulesHaveNone) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(program, MAKEINTRESOURCEA(999), "WAVE"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(program, MAKEINTRESOURCEA(TEST_WAVE), "NOSUCHTYPE"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(0x7000), MAKEINTRESOURCEA(TEST_WAVE), "WAVE"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));

    EXPECT_EQ(LoadResource(program, reinterpret_cast<HRSRC>(0x1234)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
    EXPECT_EQ(SizeofResource(program, nullptr), 0u);
}

#if WINSIM_ONLY  // hands winsim resource files, which Windows reads from the program's image
TEST_F(ResourceTest, MalformedResourceFilesAreRefusedAndTheProgramKeepsItsResources) {
    HRSRC before = FindResourceA(program, MAKEINTRESOURCEA(TEST_WAVE_CHINESE), "WAVE");
    // A record whose data runs past the end, a header too short to hold its fields, and a stray byte.
    const unsigned char overlong[] = {0x40, 0, 0, 0, 0x20, 0, 0, 0, 0xff, 0xff, 1, 0, 0xff, 0xff, 1, 0,
                                      0,    0, 0, 0, 0,    0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0};
    const unsigned char shortHeader[] = {0, 0, 0, 0, 0x08, 0, 0, 0};
    const unsigned char stray[] = {0};
    EXPECT_FALSE(winsim::registerProgramResources(overlong, sizeof(overlong)));
    EXPECT_FALSE(winsim::registerProgramResources(shortHeader, sizeof(shortHeader)));
    EXPECT_FALSE(winsim::registerProgramResources(stray, sizeof(stray)));
    EXPECT_FALSE(winsim::registerProgramResources(nullptr, 10));
    EXPECT_EQ(FindResourceA(program, MAKEINTRESOURCEA(TEST_WAVE_CHINESE), "WAVE"), before);
}
#endif

TEST_F(ResourceTest, StringsComeFromBlocksOfSixteenAndAreCutToTheBuffer) {
    char text[64];
    EXPECT_EQ(LoadStringA(program, TEST_STRING_FIRST, text, sizeof(text)), 18);
    EXPECT_STREQ(text, "first of the block");
    EXPECT_EQ(LoadStringA(program, TEST_STRING_LAST_OF_BLOCK, text, sizeof(text)), 17);
    EXPECT_STREQ(text, "last of the block");
    EXPECT_EQ(LoadStringA(program, TEST_STRING_NEXT_BLOCK, text, sizeof(text)), 23);
    EXPECT_STREQ(text, "first of the next block");

    char small[10];
    EXPECT_EQ(LoadStringA(program, TEST_STRING_LONG, small, sizeof(small)), 9);
    EXPECT_STREQ(small, "a string ");
    // The wide string comes through the ANSI code page.
    EXPECT_EQ(LoadStringA(program, TEST_STRING_WIDE, text, sizeof(text)), 4);
    EXPECT_EQ(std::string(text), ansiOf(L"caf\u00e9"));
}

TEST_F(ResourceTest, AMissingStringLoadsNothing) {
    char text[16] = "untouched";
    SetLastError(0);
    // Its block exists (it holds 16); the string itself does not.
    EXPECT_EQ(LoadStringA(program, TEST_STRING_MISSING, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    // A block that does not exist at all.
    strcpy(text, "untouched");
    EXPECT_EQ(LoadStringA(program, 5000, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

#if WINSIM_ONLY  // asks winsim which resource an icon handle came from
TEST_F(ResourceTest, IconsComeFromTheirGroupAndAreShared) {
    HICON icon = LoadIconA(program, MAKEINTRESOURCEA(TEST_ICON));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCEA(TEST_ICON)), icon);
    const winsim::IconSource source = winsim::iconSource(icon);
    EXPECT_TRUE(source.known);
    EXPECT_FALSE(source.systemIcon);
    EXPECT_EQ(source.resourceId, TEST_ICON);
    // Of the two images the one that fits a 32 x 32 icon is chosen.
    EXPECT_EQ(source.width, 32);
    EXPECT_EQ(source.height, 32);
    EXPECT_EQ(source.bitsPerPixel, 8);

    HICON application = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(application, nullptr);
    EXPECT_NE(application, icon);
    EXPECT_TRUE(winsim::iconSource(application).systemIcon);
    EXPECT_EQ(winsim::iconResourceId(application), 32512);
    EXPECT_EQ(winsim::iconResourceId(reinterpret_cast<HICON>(0x4321)), -1);
}
#endif

TEST_F(ResourceTest, IconsThatCannotBeFoundLoadNothing) {
    SetLastError(0);
    EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCEA(TEST_WAVE)), nullptr);
    EXPECT_NE(GetLastError(), 0u);
#if WINSIM_ONLY  // Windows documents no code here, and Wine leaves that of a further lookup, of an animated
                 // icon
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
#endif
    // A group naming an image that is not there.
    EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCEA(TEST_ICON_BROKEN)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    // A null module has only the system's icons.
    SetLastError(0);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(TEST_ICON)), nullptr);
    EXPECT_NE(GetLastError(), 0u);
#if WINSIM_ONLY  // as above
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
#endif
}
