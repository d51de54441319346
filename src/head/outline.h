// The outline of the head, the polygon the window is cut to.
#pragma once

#include "desktop/point.h"
#include "head/geometry.h"

#include <array>

using OutlinePolygon = std::array<POINT, OutlineVertexCount>;

// Fills the outline with the head's vertices (OutlineVertices in geometry.h),
// in pixels from the outer corner of a framed window.
void LoadOutline(OutlinePolygon &Outline);
