// A picture of a model, drawn group by group as a run reads them: the
// page's first view, orthographic, fitted to the extent of the model's
// finite points (view_bounds.h reads it first); each facet fanned into
// triangles as the page fans it, flat shaded in its group's colour, nearest
// first, with 2 x 2 samples a pixel; a transparent background. A model
// with nothing drawn gives the placeholder (placeholder.h).
//
// Memory: the samples (8 bytes each) and, for a group of up to 65,536
// points, its points framed (20 bytes each), beside the group, which the
// run holds anyway.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/format/rsr.h"
#include "convert/options/materials_written.h"
#include "convert/options/output_options.h"
#include "convert/picture/image.h"
#include "convert/picture/raster.h"
#include "convert/picture/shading.h"
#include "convert/picture/view.h"

namespace quarlen {

inline constexpr int samples_per_pixel = 2;  // on each side of a pixel
static_assert(max_picture_size * samples_per_pixel <= max_raster_side);

struct Picture {
    int pixels = 0;    // on each side of the picture
    Frame frame;       // where points land among the samples
    Raster raster;     // the samples, made at the first group
    std::vector<ScreenPoint> points;  // the group's points framed at once, or none (draw_group.cpp)
    MaterialsWritten materials;  // the run's materials, in order of first use by a facet drawn
    bool drawn = false;          // some sample was drawn
};

// Readies p for a model whose finite points lie within b (the view's axes
// are pageView()'s), on pixels x pixels, 1 <= pixels <= max_picture_size.
void startPicture(Picture& p, const ViewBounds& b, int pixels);

// Draws group g's facets as the page's view takes them: each of at least 3
// corners, all in the vertex index list, fanned from its first corner into
// triangles, of which those with a corner on a point outside the group's
// points or not finite are left out. A group takes the colour of the
// material in force at its first facet with a triangle left (groupColour).
// May throw std::bad_alloc, after which p may still be finished.
void drawGroup(Picture& p, const Group& g);

// What was drawn, or the placeholder when nothing was. May throw
// std::bad_alloc.
Image finishPicture(const Picture& p);

}  // namespace quarlen
