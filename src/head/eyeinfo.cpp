#include "eyeinfo.h"

#include <cmath>

PupilPlace PlacePupil(const EyeInfo &Eye, float X, float Y, float width, float height)
{
    float dx = X - float(Eye.CenterX);
    float dy = Y - float(Eye.CenterY);
    const float d = float(std::sqrt(double(dx * dx + dy * dy)));
    if (d > 0) {
        dx = dx / d;
        dy = dy / d;
    } else {
        dx = 0;
        dy = 0;
    }
    const float px = dx * float(Eye.RangeX) + float(Eye.CenterX);
    const float py = dy * float(Eye.RangeY) + float(Eye.CenterY);
    return { px - width / 2, py - height / 2 };
}
