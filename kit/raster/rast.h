// The raster library: bitmaps, pixel combiners, blits (plain, scaled, rotated, mesh), fills,
// pixel operations, glyph stamping, halving and comparison, and PNG loading.
#pragma once

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_drawglyph.h"
#include "kit/raster/rast_halvecmp.h"
#include "kit/raster/rast_png.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_rotate.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_transform.h"
#include "kit/raster/rast_types.h"
