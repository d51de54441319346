// The outline of the head, the polygon the window is cut to.
#pragma once

#include "desktop/desktop.h"

#include <array>

constexpr int OutlineVertexCount = 43;
using OutlinePolygon = std::array<POINT, OutlineVertexCount>;

// The outline was laid for a window with a dialog frame and caption, whose
// client area starts 3 pixels right of and 22 pixels below the window's outer
// corner. Our window has no frame, so the polygon is moved back by this much.
constexpr POINT OutlineClientOffset { 3, 22 };

// The vertices, clockwise on the screen from the left cheek up over the
// crown, down the right side and along the jaw; the last repeats the first.
void LoadOutline(OutlinePolygon &Outline);
