#include "icon_file.h"

#include "byte_writer.h"

#include <stdexcept>

namespace assetgen {
namespace {

constexpr uint32_t kBitmapInfoHeaderBytes = 40;
constexpr uint32_t kIconDirBytes = 6;
constexpr uint32_t kIconDirEntryBytes = 16;

uint32_t rowBytes(int pixels, int bitsPerPixel) {
    return static_cast<uint32_t>((pixels * bitsPerPixel + 31) / 32 * 4);
}

// The 256 colours of the 8-bit image: the 6 x 6 x 6 colour cube, then 40 greys.
std::vector<Rgb> standardPalette() {
    std::vector<Rgb> palette;
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.push_back(Rgb{static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                                      static_cast<uint8_t>(b * 51)});
            }
        }
    }
    for (int i = 0; i < 40; ++i) {
        const auto grey = static_cast<uint8_t>(6 + i * 249 / 39);
        palette.push_back(Rgb{grey, grey, grey});
    }
    return palette;
}

uint8_t nearestEntry(const std::vector<Rgb>& palette, Rgb c) {
    size_t best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i) {
        const int dr = palette[i].r - c.r;
        const int dg = palette[i].g - c.g;
        const int db = palette[i].b - c.b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

// Transparent pixels are black in the colour image, so the mask and the image combine to nothing.
Rgb shownColour(const Picture& p, int x, int y) {
    return p.opaque(x, y) ? p.colour(x, y) : Rgb{};
}

}  // namespace

std::vector<uint8_t> encodeIcon(const Picture& picture, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 8)
        throw std::runtime_error("icons are written with 24 or 8 bpp");
    const int n = picture.size();
    const uint32_t colourRow = rowBytes(n, bitsPerPixel);
    const uint32_t maskRow = rowBytes(n, 1);
    const std::vector<Rgb> palette = bitsPerPixel == 8 ? standardPalette() : std::vector<Rgb>{};
    const uint32_t imageBytes = static_cast<uint32_t>(n) * (colourRow + maskRow);
    const uint32_t dibBytes = kBitmapInfoHeaderBytes + static_cast<uint32_t>(palette.size()) * 4 + imageBytes;

    ByteWriter out;
    // ICONDIR and its one ICONDIRENTRY.
    out.u16(0);
    out.u16(1);  // an icon, not a cursor
    out.u16(1);
    out.u8(static_cast<uint8_t>(n));
    out.u8(static_cast<uint8_t>(n));
    out.u8(0);  // colour count: 0 for 256 colours and more
    out.u8(0);
    out.u16(1);  // planes
    out.u16(static_cast<uint16_t>(bitsPerPixel));
    out.u32(dibBytes);
    out.u32(kIconDirBytes + kIconDirEntryBytes);

    // BITMAPINFOHEADER: the height counts the colour image and the mask.
    out.u32(kBitmapInfoHeaderBytes);
    out.i32(n);
    out.i32(2 * n);
    out.u16(1);
    out.u16(static_cast<uint16_t>(bitsPerPixel));
    out.u32(0);  // BI_RGB
    out.u32(imageBytes);
    out.i32(0);
    out.i32(0);
    out.u32(0);  // colours used: all the palette has
    out.u32(0);
    for (Rgb c : palette) {
        out.u8(c.b);
        out.u8(c.g);
        out.u8(c.r);
        out.u8(0);
    }

    for (int y = n - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int x = 0; x < n; ++x) {
            const Rgb c = shownColour(picture, x, y);
            if (bitsPerPixel == 8) {
                out.u8(nearestEntry(palette, c));
            } else {
                out.u8(c.b);
                out.u8(c.g);
                out.u8(c.r);
            }
        }
        out.zeros(colourRow - (out.size() - rowStart));
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < n; ++x) {
            if (!picture.opaque(x, y))
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.append(row);
    }
    return out.bytes();
}

}  // namespace assetgen
