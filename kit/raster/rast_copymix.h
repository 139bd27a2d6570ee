// Whole-row forms of the busiest blit and fill loops: the plain copy, and, four pixels at a time
// where the processor has SSE2, the copy at a weight strictly between 0 and 256, the two
// source-alpha copies, the add and the weighted copy fill. Bit for bit the same as running the combiner
// (_RAST_CombinePixelsCopyNoClamp, _RAST_CombinePixelsCopySourceAlphaNoClamp,
// _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp, _RAST_CombinePixelsAdd) on every pixel.
//
// Why the copy can be done on bytes: s + (d - s) * inv / 256 with the division truncating toward
// zero is s + q when d >= s and s - q otherwise, where q = (|d - s| * inv) >> 8. With inv in
// 0..256 the product fits an unsigned 16-bit lane (255 * 256 = 65280) and q never exceeds
// |d - s|, so the result stays a byte. The add's s * weight / 256 is (s * 256 * weight) >> 16 for
// a weight in 1..256, the high half of a 16-bit product.
#pragma once

namespace rast {

// Rows of w pixels; spans in bytes. Each asks its weight to lie in the range given.
// Plain copy at weight 1..255: every byte, alpha included, steps by 256 - weight.
void CopyMixRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                 int alpha);
// Source-alpha copy at weight 1..255: the step comes from ((sa + 1) * weight) / 256.
void CopySourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                         int dest_span, int alpha);
// Source-alpha copy at full strength: the source alpha alone decides (any weight argument).
void CopySourceAlphaFullRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                             int dest_span, int alpha);
// Plain copy of every pixel (the weight is not read).
void CopyRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span, int alpha);
// Add at weight 1..256: every byte, alpha included, gains s * weight / 256, saturating at 255.
void AddRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span, int alpha);
// Copy fill at weight 1..255 with the colour r, g, b: as _RAST_Template_Blit1::solidBlit over the
// plain copy, the weight also stands for the source alpha byte.
void CopyFillRows(unsigned char* dest, int w, int h, int r, int g, int b, int alpha, int span);

// Whether the eight-pixel forms run where the processor has them (the default); tests turn
// them off to check the four-pixel forms that other processors run.
void UseWideRows(bool on);

}  // namespace rast
