// Copy mixes over whole rows, four pixels at a time where the processor has SSE2: the plain copy
// at a weight strictly between 0 and 256 and the two source-alpha copies. Bit for bit the same
// as running _RAST_CombinePixelsCopyNoClamp, _RAST_CombinePixelsCopySourceAlphaNoClamp and
// _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp on every pixel.
//
// Why it can be done on bytes: s + (d - s) * inv / 256 with the division truncating toward
// zero is s + q when d >= s and s - q otherwise, where q = (|d - s| * inv) >> 8. With inv in
// 0..256 the product fits an unsigned 16-bit lane (255 * 256 = 65280) and q never exceeds
// |d - s|, so the result stays a byte.
#pragma once

// Rows of w pixels; spans in bytes. Each asks its weight to lie in the range given.
// Plain copy at weight 1..255: every byte, alpha included, steps by 256 - weight.
void _RAST_CopyMixRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                       int alpha);
// Source-alpha copy at weight 1..255: the step comes from ((sa + 1) * weight) / 256.
void _RAST_CopySourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                               int dest_span, int alpha);
// Source-alpha copy at full strength: the source alpha alone decides (any weight argument).
void _RAST_CopySourceAlphaFullRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                                   int dest_span, int alpha);
