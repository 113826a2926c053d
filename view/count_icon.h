// The count on the tray icon: its text, and its pixels in a small font that reads at 16 pixels.
#pragma once

#include <cstdint>
#include <string>

// Players as the icon shows them, in at most four characters: "7", "123", "1.4k", "12k".
std::string TrayCountText(int32_t players);

// Draws text centred along the bottom of a size-by-size picture of 32-bit pixels (0xAARRGGBB, rows
// top down, alpha premultiplied): white glyphs with a black outline, laid out for a 16-pixel icon and
// scaled to size at every resolution, so that the icon's own colour and mark show around them.
void DrawCountText(uint32_t* pixels, int size, const std::string& text);
