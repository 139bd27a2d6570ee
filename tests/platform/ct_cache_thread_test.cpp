// Faces and rendered glyphs are shared between fonts and threads: text drawn from several
// threads at once, with faces opened, closed and reopened under it, must come out exactly as it
// did drawn alone.
#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "cg_test_bitmap.h"

namespace {

// More sizes than faces stay open idle, so faces close and reopen while other threads draw; and
// drawn in the order of k, every case finds its face closed, so nothing it draws was cached.
const double kSizes[] = {9, 10.5, 11, 12, 13.25, 14, 15, 16.5, 18, 20, 23, 26};
const int kNumSizes = int(sizeof kSizes / sizeof kSizes[0]), kCases = 4 * kNumSizes;

// Case k: one size and one of four variants that differ from the first in one thing each: the
// pen's horizontal fraction, its vertical fraction, or upside down; a rendering cached for one
// variant and taken for another shows.
std::vector<uint8_t> draw(int k) {
  CGTestBitmap bm(160, 40);
  CTFontRef f = CTFontCreateWithNameUTF8("DejaVu Sans", kSizes[k % kNumSizes], nullptr);
  const UniChar text[] = {'W', 'a', 'v', 'e', ' ', 'g', 'j', 0xE9, '4', '2'};
  const int n = sizeof text / sizeof text[0];
  CGGlyph glyphs[n];
  CGSize adv[n];
  CGPoint pos[n];
  CTFontGetGlyphsForCharacters(f, text, glyphs, n);
  CTFontGetAdvancesForGlyphs(f, kCTFontOrientationHorizontal, glyphs, adv, n);
  double pen = 0;
  for (int i = 0; i < n; i++, pen += adv[i - 1].width) pos[i] = CGPoint{pen, 0};
  CGContextSetRGBFillColor(bm.c, 1, 1, 1, 1);
  const int variant = k / kNumSizes;
  if (variant == 3) {  // top-down coordinates without flipping the text: glyphs upside down
    CGContextTranslateCTM(bm.c, 0, 40);
    CGContextScaleCTM(bm.c, 1, -1);
  }
  CGContextSetTextPosition(bm.c, variant == 1 ? 2.5 : 2, variant == 2 ? 28.5 : 28);
  CTFontDrawGlyphs(f, glyphs, pos, n, bm.c);
  CTFontRelease(f);
  return bm.buf;
}

}  // namespace

TEST(CTFontCacheThreads, TextDrawnFromSeveralThreadsMatchesTextDrawnAlone) {
  std::vector<std::vector<uint8_t>> want;
  for (int k = 0; k < kCases; k++) {
    want.push_back(draw(k));
    ASSERT_NE(want.back(), std::vector<uint8_t>(want.back().size(), 0)) << "case " << k << " drew nothing";
  }
  const int kThreads = 4, kOrders[kThreads] = {1, 5, 7, 11};  // each a permutation of the cases
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++)
    threads.emplace_back([t, &kOrders, &want, &mismatches] {
      // Each thread walks the sizes in its own order, the four cases of a size one after the
      // other (the later ones drawn from what the first cached), in an order of their own.
      for (int round = 0; round < 3; round++)
        for (int i = 0; i < kCases; i++) {
          const int k = ((i / 4) * kOrders[t] + t) % kNumSizes + kNumSizes * ((i + t + round) % 4);
          if (draw(k) != want[k]) mismatches[t]++;
        }
    });
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; t++) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}
