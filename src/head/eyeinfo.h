// The arithmetic that places a pupil: plain functions, no widgets.
#pragma once

#include <cstdint>

// Where one pupil may move, in window pixels.
struct EyeInfo
{
    int32_t CenterX = 0; // the pupil's resting centre
    int32_t CenterY = 0;
    int32_t RangeX = 0; // semi-axes of the ellipse its centre travels on
    int32_t RangeY = 0;
};

struct PupilPlace
{
    float left = 0;
    float top = 0;
};

// The top-left corner of a pupil picture of the given size, turned toward the
// pointer at (X, Y): its centre goes to the point of the eye's ellipse in the
// pointer's direction. The direction is normalised before it is scaled by the
// ranges, so at 45 degrees the pupil sits at 0.7071 of each range.
PupilPlace PlacePupil(const EyeInfo &Eye, float X, float Y, float width, float height);
