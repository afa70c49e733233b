// The hatching of an area pattern as plain line segments, for the drawers that have no stencil
// (the metafile and the PostScript): the lines a pattern of that spacing and angle draws across
// a box, in the phase of the whole drawing, for the caller to clip to its figure.
#pragma once

#include <vector>

// Segments (x0, y0, x1, y1 each, in a frame whose y grows upwards) of the lines that cross the
// box: lines at whole multiples of spacing from (cx, cy), running at rotation degrees from the
// vertical as the screen's hatching does, and across them again when cross is set. Nothing for a
// spacing that is not above 0 or when a direction would need more than the screen draws.
void HatchSegments(double cx, double cy, double spacing, double rotation, bool cross, double x0, double y0, double x1,
                   double y1, std::vector<double>* segments);
