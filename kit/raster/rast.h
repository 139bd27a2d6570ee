// The raster library: bitmaps, pixel combiners, blits, fills, pixel operations and PNG loading.
#pragma once

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_png.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_types.h"
