// The raster library: bitmaps, pixel combiners, blits, fills and pixel operations.
#pragma once

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_types.h"
