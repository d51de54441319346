// The head's geometry, defined once. The program, its tests and the artwork
// script (assets/draw_artwork.py reads this file) all take it from here, so
// that a change to it reaches the window, the tests and the pictures alike;
// until the pictures are drawn again the artwork test fails.
//
// The script reads every `constexpr TYPE Name { integers };` or
// `constexpr int Name = integer;` below by its name: keep to that form.
#pragma once

#include "desktop/point.h"
#include "head/eyeinfo.h"

#include <array>
#include <cstdint>

struct PixelSize
{
    int32_t width = 0;
    int32_t height = 0;
};

// The window's client area; the head picture fills it from the top-left
// corner, and the row below the picture shows the black ground.
constexpr PixelSize ClientSize { 91, 159 };
constexpr PixelSize HeadPictureSize { 91, 158 };
// The pupil picture: a dot over a transparent bottom row.
constexpr PixelSize PupilPictureSize { 5, 6 };

// The outline was laid for a window with a dialog frame and caption, whose
// client area starts 3 pixels right of and 22 pixels below the window's outer
// corner. Our window has no frame, so the polygon is moved back by this much.
constexpr POINT OutlineClientOffset { 3, 22 };

// The outline's vertices from the window's outer corner, clockwise on the
// screen from the left cheek up over the crown, down the right side and along
// the jaw; the last repeats the first.
constexpr int OutlineVertexCount = 43;
constexpr std::array<POINT, OutlineVertexCount> OutlineVertices { { { 5, 127 }, { 4, 115 },
    { 6, 107 }, { 5, 101 }, { 5, 94 }, { 7, 90 }, { 8, 86 }, { 4, 81 }, { 5, 61 }, { 6, 55 },
    { 9, 51 }, { 8, 42 }, { 13, 36 }, { 19, 30 }, { 28, 26 }, { 34, 24 }, { 40, 23 }, { 55, 23 },
    { 60, 24 }, { 69, 27 }, { 76, 31 }, { 81, 36 }, { 84, 41 }, { 84, 46 }, { 88, 51 }, { 91, 62 },
    { 90, 70 }, { 91, 77 }, { 90, 90 }, { 92, 104 }, { 88, 146 }, { 81, 158 }, { 73, 169 },
    { 68, 174 }, { 59, 177 }, { 45, 177 }, { 37, 174 }, { 25, 164 }, { 16, 152 }, { 11, 142 },
    { 10, 134 }, { 10, 130 }, { 5, 127 } } };

// The eye sockets in client pixels: where each pupil's centre rests and the
// semi-axes of the ellipse it travels on. Left eye first.
constexpr std::array<EyeInfo, 2> EyeSockets { { { 26, 81, 5, 3 }, { 66, 81, 5, 3 } } };

// Where the pupil pictures' top-left corners lie before the pointer first
// moves: as the head was drawn, not where the arithmetic would put them.
constexpr std::array<POINT, 2> PupilRest { { { 25, 77 }, { 63, 76 } } };
