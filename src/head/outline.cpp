#include "outline.h"

void LoadOutline(OutlinePolygon &Outline)
{
    Outline = OutlineVertices;
}
