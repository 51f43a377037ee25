// The resources the built program carries (app/shell/phonedock.rc with the generated icons and tones):
// every id the program loads resolves, with the content its callers rely on.
#include "support/winsim_fixture.h"

#include "foundation/resource_ids.h"

#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace {

class ProgramResourcesTest : public WinsimTest {
  protected:
    HINSTANCE instance = GetModuleHandleA(nullptr);

    std::vector<uint8_t> resource(int id, LPCSTR type) {
        HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), type);
        if (found == nullptr) return {};
        const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
        return std::vector<uint8_t>(bytes, bytes + SizeofResource(instance, found));
    }
};

uint16_t word(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

uint32_t dword(const std::vector<uint8_t>& b, size_t at) {
    return word(b, at) | static_cast<uint32_t>(word(b, at + 2)) << 16;
}

std::string menuText(HMENU menu, int position) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
    return text;
}

// A RIFF/WAVE file walked chunk by chunk, as the tone player does: each chunk's id and length, in order,
// with the pad byte after an odd length.
struct Wave {
    std::vector<std::pair<std::string, uint32_t>> chunks;
    uint16_t formatTag = 0, channels = 0, bits = 0;
    uint32_t sampleRate = 0;
    std::vector<int16_t> samples;  // 16-bit data only
    bool wellFormed = false;
};

Wave readWave(const std::vector<uint8_t>& b) {
    Wave w;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return w;
    if (dword(b, 4) + 8 != b.size()) return w;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id(reinterpret_cast<const char*>(b.data() + at), 4);
        const uint32_t length = dword(b, at + 4);
        if (at + 8 + length > b.size()) return w;
        w.chunks.emplace_back(id, length);
        if (id == "fmt ") {
            w.formatTag = word(b, at + 8);
            w.channels = word(b, at + 10);
            w.sampleRate = dword(b, at + 12);
            w.bits = word(b, at + 22);
        } else if (id == "data" && w.bits == 16) {
            for (uint32_t i = 0; i + 1 < length; i += 2)
                w.samples.push_back(static_cast<int16_t>(word(b, at + 8 + i)));
        }
        at += 8 + length + (length % 2);
    }
    w.wellFormed = at == b.size();
    return w;
}

// The power of one frequency in the samples (Goertzel's algorithm), relative to the samples' own power.
double relativePower(const std::vector<int16_t>& samples, uint32_t sampleRate, double hz) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / sampleRate);
    double s1 = 0, s2 = 0, energy = 0;
    for (int16_t x : samples) {
        const double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += static_cast<double>(x) * x;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return power / (energy * static_cast<double>(samples.size()) / 2);
}

struct WaveRow {
    int id;
    uint32_t bytes;
    uint32_t sampleRate;
    uint16_t bits;
    uint32_t dataBytes;
    uint32_t listBytes;  // 0: no LIST chunk
};

// clang-format off
const WaveRow kWaves[] = {
    {IDW_DTMF_0, 3600, 22050, 16, 3556, 0}, {IDW_DTMF_1, 3594, 22050, 16, 3550, 0},
    {IDW_DTMF_2, 3572, 22050, 16, 3528, 0}, {IDW_DTMF_3, 3586, 22050, 16, 3542, 0},
    {IDW_DTMF_4, 3614, 22050, 16, 3570, 0}, {IDW_DTMF_5, 3594, 22050, 16, 3550, 0},
    {IDW_DTMF_6, 3606, 22050, 16, 3562, 0}, {IDW_DTMF_7, 3600, 22050, 16, 3556, 0},
    {IDW_DTMF_8, 3594, 22050, 16, 3550, 0}, {IDW_DTMF_9, 3608, 22050, 16, 3564, 0},
    {IDW_DTMF_HASH, 3586, 22050, 16, 3542, 0}, {IDW_DTMF_STAR, 3614, 22050, 16, 3570, 0},
    {IDW_KEY_CLICK, 3768, 22050, 16, 3724, 0},
    {IDW_BUSY, 90782, 11025, 16, 90616, 114},
    {IDW_CHIME, 5678, 11025, 8, 5555, 70},
    {IDW_RINGBACK, 77276, 11025, 8, 77153, 70},
};

// The DTMF keys: resource, row frequency, column frequency.
const std::tuple<int, double, double> kDtmf[] = {
    {IDW_DTMF_1, 697, 1209}, {IDW_DTMF_2, 697, 1336}, {IDW_DTMF_3, 697, 1477},
    {IDW_DTMF_4, 770, 1209}, {IDW_DTMF_5, 770, 1336}, {IDW_DTMF_6, 770, 1477},
    {IDW_DTMF_7, 852, 1209}, {IDW_DTMF_8, 852, 1336}, {IDW_DTMF_9, 852, 1477},
    {IDW_DTMF_STAR, 941, 1209}, {IDW_DTMF_0, 941, 1336}, {IDW_DTMF_HASH, 941, 1477},
};
// clang-format on

winsim::DialogInfo aboutAtInit;
INT_PTR CALLBACK aboutProbe(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) aboutAtInit = winsim::openDialogs().at(0);
    if (message == WM_COMMAND) EndDialog(dialog, LOWORD(wParam));
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

}  // namespace

TEST_F(ProgramResourcesTest, TheWindowTitleIsStringResource103) {
    char title[100];
    EXPECT_EQ(LoadStringA(instance, IDS_WINDOW_TITLE, title, sizeof(title)), 12);
    EXPECT_STREQ(title, "Tarvix@phone");
    EXPECT_EQ(LoadStringA(instance, IDS_TITLE_CAPITALS, title, sizeof(title)), 12);
    EXPECT_STREQ(title, "TARVIX@PHONE");
}

TEST_F(ProgramResourcesTest, EachIconHasOneImageOfItsSizeAndDepth) {
    struct Expected {
        int id;
        int size;
        int bits;
    };
    for (const Expected e :
         {Expected{IDI_EMBLEM, 32, 24}, Expected{IDI_HANDSET, 32, 8}, Expected{IDI_TRAY_ATTACHED, 16, 24},
          Expected{IDI_TRAY_NO_HANDSET, 16, 24}, Expected{IDI_TRAY_NO_SKYPE, 16, 24}}) {
        SCOPED_TRACE(e.id);
        HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(e.id));
        ASSERT_NE(icon, nullptr);
        const winsim::IconSource source = winsim::iconSource(icon);
        EXPECT_EQ(source.resourceId, e.id);
        EXPECT_EQ(source.width, e.size);
        EXPECT_EQ(source.height, e.size);
        EXPECT_EQ(source.bitsPerPixel, e.bits);

        const std::vector<uint8_t> group = resource(e.id, RT_GROUP_ICON);
        ASSERT_EQ(group.size(), 6u + 14u);
        EXPECT_EQ(word(group, 4), 1);  // one image
        const std::vector<uint8_t> image = resource(word(group, 18), RT_ICON);
        // The bitmap's height counts the colour image and the 1-bit mask that follows it.
        EXPECT_EQ(static_cast<int>(dword(image, 8)), 2 * e.size);
        const size_t row = (static_cast<size_t>(e.size) * e.bits + 31) / 32 * 4;
        const size_t maskRow = (static_cast<size_t>(e.size) + 31) / 32 * 4;
        const size_t palette = e.bits == 8 ? 256 * 4 : 0;
        EXPECT_EQ(image.size(), 40 + palette + e.size * (row + maskRow));
    }
}

TEST_F(ProgramResourcesTest, TheMenusHoldTheirCommands) {
    HMENU main = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(GetMenuItemCount(main), 2);
    EXPECT_EQ(menuText(main, 0), "&File");
    EXPECT_EQ(menuText(GetSubMenu(main, 0), 0), "&Close");
    EXPECT_EQ(GetMenuItemID(GetSubMenu(main, 0), 0), static_cast<UINT>(IDM_CLOSE));
    EXPECT_EQ(menuText(main, 1), "&Help");
    EXPECT_EQ(menuText(GetSubMenu(main, 1), 0), "&About ...");
    EXPECT_EQ(GetMenuItemID(GetSubMenu(main, 1), 0), static_cast<UINT>(IDM_ABOUT));

    HMENU tray = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(tray, nullptr);
    ASSERT_EQ(GetMenuItemCount(tray), 1);
    EXPECT_EQ(menuText(tray, 0), "Pop1");
    HMENU popup = GetSubMenu(tray, 0);
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    EXPECT_EQ(menuText(popup, 0), "&About...");
    EXPECT_EQ(GetMenuItemID(popup, 0), static_cast<UINT>(IDM_ABOUT));
    // A separator, which Windows reports grayed and disabled.
    EXPECT_EQ(GetMenuState(popup, 1, MF_BYPOSITION),
              static_cast<UINT>(MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(menuText(popup, 2), "&Close");
    EXPECT_EQ(GetMenuItemID(popup, 2), static_cast<UINT>(IDM_CLOSE));
}

TEST_F(ProgramResourcesTest, TheAboutDialogHasItsLayoutAndEnterGivesOk) {
    winsim::scriptDialogInput({winsim::DialogInput::Kind::Enter});
    EXPECT_EQ(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, aboutProbe, 0), IDOK);
    const winsim::DialogInfo& d = aboutAtInit;
    EXPECT_EQ(d.caption, "About");
    EXPECT_EQ(d.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(std::make_tuple(d.x, d.y, d.cx, d.cy), std::make_tuple(22, 17, 230, 57));
    EXPECT_EQ(d.fontName, "System");
    EXPECT_EQ(d.fontPointSize, 8);
    ASSERT_EQ(d.controls.size(), 4u);

    const auto& icon = d.controls[0];
    EXPECT_EQ(icon.className, "Static");
    EXPECT_EQ(icon.id, IDC_ABOUT_ICON);
    EXPECT_EQ(std::make_tuple(icon.x, icon.y, icon.cx, icon.cy), std::make_tuple(14, 9, 20, 20));
    EXPECT_EQ(icon.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | SS_ICON));
    EXPECT_EQ(icon.iconId, IDI_EMBLEM);
    EXPECT_EQ(winsim::iconResourceId(icon.icon), IDI_EMBLEM);

    const auto& product = d.controls[1];
    EXPECT_EQ(product.className, "Static");
    EXPECT_EQ(product.id, static_cast<WORD>(IDC_STATIC));
    EXPECT_EQ(std::make_tuple(product.x, product.y, product.cx, product.cy), std::make_tuple(49, 10, 135, 8));
    EXPECT_EQ(product.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX));
    EXPECT_EQ(product.text, "Tarvix@phone USB Phone Driver");

    const auto& version = d.controls[2];
    EXPECT_EQ(version.id, static_cast<WORD>(IDC_STATIC));
    EXPECT_EQ(std::make_tuple(version.x, version.y, version.cx, version.cy), std::make_tuple(49, 29, 156, 8));
    EXPECT_EQ(version.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT));
    EXPECT_EQ(version.text, std::string(16, ' ') + "Version 0.9.1.9");

    const auto& ok = d.controls[3];
    EXPECT_EQ(ok.className, "Button");
    EXPECT_EQ(ok.id, IDOK);
    EXPECT_EQ(std::make_tuple(ok.x, ok.y, ok.cx, ok.cy), std::make_tuple(195, 6, 30, 11));
    EXPECT_EQ(ok.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON));
    EXPECT_EQ(ok.text, "OK");
}

TEST_F(ProgramResourcesTest, AltWithQuestionMarkOrSlashAsksForAbout) {
    HACCEL table = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4]{};
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 4), 2);
    EXPECT_EQ(entries[0].fVirt, FALT);
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[0].cmd, IDM_ABOUT);
    EXPECT_EQ(entries[1].fVirt, FALT);
    EXPECT_EQ(entries[1].key, '/');
    EXPECT_EQ(entries[1].cmd, IDM_ABOUT);
}

TEST_F(ProgramResourcesTest, EveryWaveHasItsSizeFormatAndChunks) {
    for (const WaveRow& row : kWaves) {
        SCOPED_TRACE(row.id);
        const std::vector<uint8_t> bytes = resource(row.id, "WAVE");
        EXPECT_EQ(bytes.size(), row.bytes);
        const Wave w = readWave(bytes);
        ASSERT_TRUE(w.wellFormed);
        EXPECT_EQ(w.formatTag, 1);  // PCM
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.sampleRate, row.sampleRate);
        EXPECT_EQ(w.bits, row.bits);
        std::vector<std::pair<std::string, uint32_t>> layout{{"fmt ", 16}, {"data", row.dataBytes}};
        if (row.listBytes != 0) layout.emplace_back("LIST", row.listBytes);
        EXPECT_EQ(w.chunks, layout);
    }
}

TEST_F(ProgramResourcesTest, TheTonesThatArePlayedLastEightyToEightyFiveMilliseconds) {
    for (const WaveRow& row : kWaves) {
        if (row.listBytes != 0) continue;  // the three that are never played
        SCOPED_TRACE(row.id);
        const Wave w = readWave(resource(row.id, "WAVE"));
        const double milliseconds = 1000.0 * static_cast<double>(w.samples.size()) / w.sampleRate;
        EXPECT_GE(milliseconds, 80.0);
        EXPECT_LE(milliseconds, 85.0);
    }
}

TEST_F(ProgramResourcesTest, EachDtmfToneSoundsItsRowAndColumnFrequencies) {
    const double allFrequencies[] = {697, 770, 852, 941, 1209, 1336, 1477};
    for (const auto& [id, row, column] : kDtmf) {
        SCOPED_TRACE(id);
        const Wave w = readWave(resource(id, "WAVE"));
        for (double hz : allFrequencies) {
            const double power = relativePower(w.samples, w.sampleRate, hz);
            if (hz == row || hz == column) {
                EXPECT_GT(power, 0.3) << hz << " Hz";
            } else {
                EXPECT_LT(power, 0.05) << hz << " Hz";
            }
        }
    }
}

TEST_F(ProgramResourcesTest, TheVersionBlockCarriesBothVersionsAndTheTranslation) {
    const std::vector<uint8_t> version = resource(1, RT_VERSION);
    ASSERT_FALSE(version.empty());
    // VS_FIXEDFILEINFO starts with its signature; the versions follow as two pairs of 32-bit numbers.
    size_t info = 0;
    while (info + 4 <= version.size() && dword(version, info) != 0xFEEF04BD) info += 4;
    ASSERT_LT(info + 24, version.size());
    EXPECT_EQ(dword(version, info + 8), 0x00000009u);   // 0.9
    EXPECT_EQ(dword(version, info + 12), 0x00010009u);  // 1.9
    EXPECT_EQ(dword(version, info + 16), 0x00010000u);  // 1.0
    EXPECT_EQ(dword(version, info + 20), 0x00000001u);  // 0.1

    auto contains = [&](const std::u16string& text) {
        std::vector<uint8_t> utf16;
        for (char16_t c : text) {
            utf16.push_back(static_cast<uint8_t>(c));
            utf16.push_back(static_cast<uint8_t>(c >> 8));
        }
        return std::search(version.begin(), version.end(), utf16.begin(), utf16.end()) != version.end();
    };
    EXPECT_TRUE(contains(u"080404b0"));
    EXPECT_TRUE(contains(u"0, 9, 1, 9"));
    EXPECT_TRUE(contains(u"1, 0, 0, 1"));
    EXPECT_TRUE(contains(u"phonedock.exe"));
    const uint8_t translation[] = {0x04, 0x08, 0xB0, 0x04};
    EXPECT_NE(std::search(version.begin(), version.end(), std::begin(translation), std::end(translation)),
              version.end());
}

TEST_F(ProgramResourcesTest, TheManifestAsksForWhatAModernDesktopGives) {
    const std::vector<uint8_t> bytes = resource(1, MAKEINTRESOURCEA(24));  // the process manifest
    const std::string manifest(bytes.begin(), bytes.end());
    ASSERT_EQ(manifest.rfind("<?xml", 0), 0u) << "no manifest";
    EXPECT_NE(manifest.find("</assembly>"), std::string::npos);
    for (const char* wanted : {
             "level=\"asInvoker\"", ">PerMonitorV2, PerMonitor</dpiAwareness>", ">true/pm</dpiAware>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
         }) {
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
    }
}
