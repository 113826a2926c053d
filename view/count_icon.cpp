// The count on the tray icon: its text, and its pixels in a small font that reads at 16 pixels.
#include "view/count_icon.h"

#include <cstring>

namespace {
constexpr int GLYPH_HEIGHT = 5;
constexpr uint32_t WHITE = 0xFFFFFFFFu;
constexpr uint32_t BLACK = 0xFF000000u;

// Each glyph's rows, top first, three bits a row with the leftmost highest; '.' is one column wide.
struct Glyph {
    char Character;
    int Width;
    uint8_t Rows[GLYPH_HEIGHT];
};
constexpr Glyph GLYPHS[] = {
    {'0', 3, {7, 5, 5, 5, 7}}, {'1', 3, {2, 6, 2, 2, 7}}, {'2', 3, {7, 1, 7, 4, 7}}, {'3', 3, {7, 1, 7, 1, 7}},
    {'4', 3, {5, 5, 7, 1, 1}}, {'5', 3, {7, 4, 7, 1, 7}}, {'6', 3, {7, 4, 7, 5, 7}}, {'7', 3, {7, 1, 2, 2, 2}},
    {'8', 3, {7, 5, 7, 5, 7}}, {'9', 3, {7, 5, 7, 1, 7}}, {'k', 3, {4, 5, 6, 5, 5}}, {'.', 1, {0, 0, 0, 0, 1}},
};

const Glyph* GlyphOf(char c) {
    for (const Glyph& glyph : GLYPHS)
        if (glyph.Character == c) return &glyph;
    return nullptr;
}
}  // namespace

std::string TrayCountText(int32_t players) {
    if (players < 1000) return std::to_string(players < 0 ? 0 : players);
    if (players < 10000) return std::to_string(players / 1000) + '.' + std::to_string(players / 100 % 10) + 'k';
    return std::to_string(players / 1000) + 'k';
}

void DrawCountText(uint32_t* pixels, int size, const std::string& text) {
    const int scale = size >= 32 ? size / 16 : 1;
    int width = 0;
    for (const char c : text)
        if (const Glyph* glyph = GlyphOf(c)) width += (glyph->Width + 1) * scale;
    width -= scale;
    if (width <= 0) return;
    // The glyphs' pixels first, marked, then their outline around them.
    const int left = (size - width) / 2, top = size - (GLYPH_HEIGHT + 1) * scale;
    std::string ink(static_cast<size_t>(size) * static_cast<size_t>(size), 0);
    int x = left;
    for (const char c : text) {
        const Glyph* glyph = GlyphOf(c);
        if (!glyph) continue;
        for (int row = 0; row < GLYPH_HEIGHT * scale; ++row) {
            for (int column = 0; column < glyph->Width * scale; ++column) {
                const int px = x + column, py = top + row;
                const bool on = (glyph->Rows[row / scale] >> (glyph->Width - 1 - column / scale)) & 1;
                if (on && px >= 0 && px < size && py >= 0 && py < size) ink[static_cast<size_t>(py * size + px)] = 1;
            }
        }
        x += (glyph->Width + 1) * scale;
    }
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            uint32_t& pixel = pixels[py * size + px];
            if (ink[static_cast<size_t>(py * size + px)]) {
                pixel = WHITE;
                continue;
            }
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx >= 0 && nx < size && ny >= 0 && ny < size && ink[static_cast<size_t>(ny * size + nx)]) pixel = BLACK;
                }
        }
    }
}
