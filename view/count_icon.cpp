// The count on the tray icon: its text, and its pixels in a small font that reads at 16 pixels.
#include "view/count_icon.h"

#include <cstring>

namespace {
constexpr int GLYPH_HEIGHT = 5;
constexpr int DESIGN_SIZE = 16;  // the icon the count is drawn for, in font pixels
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
    // Laid out on a 16-pixel icon, then scaled to the picture's size, a font pixel to as many
    // screen pixels as fall on it.
    int width = -1;
    for (const char c : text)
        if (const Glyph* glyph = GlyphOf(c)) width += glyph->Width + 1;
    if (width <= 0 || width > DESIGN_SIZE || size <= 0) return;
    uint16_t rows[GLYPH_HEIGHT] = {};  // the text's font pixels, bit 15 the icon's leftmost column
    int x = (DESIGN_SIZE - width) / 2;
    for (const char c : text) {
        const Glyph* glyph = GlyphOf(c);
        if (!glyph) continue;
        for (int row = 0; row < GLYPH_HEIGHT; ++row)
            rows[row] = static_cast<uint16_t>(rows[row] | (glyph->Rows[row] << (DESIGN_SIZE - x - glyph->Width) & 0xFFFF));
        x += glyph->Width + 1;
    }
    // The glyphs' pixels first, marked, then their outline around them.
    const int top = DESIGN_SIZE - GLYPH_HEIGHT - 1;
    std::string ink(static_cast<size_t>(size) * static_cast<size_t>(size), 0);
    for (int py = 0; py < size; ++py) {
        const int row = py * DESIGN_SIZE / size - top;
        for (int px = 0; px < size && row >= 0 && row < GLYPH_HEIGHT; ++px)
            ink[static_cast<size_t>(py * size + px)] = rows[row] >> (DESIGN_SIZE - 1 - px * DESIGN_SIZE / size) & 1;
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
