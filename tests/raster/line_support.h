// Shared by the line, dash, circle and arc tests: a pixel model that applies the documented
// combining rules one touch at a time, so a drawing can be compared with the touches it should
// have made, pixel for pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kit/raster/rast_bitmap.h"
#include "raster/reference_combine.h"
#include "raster_test_util.h"

namespace lt {

inline uint32_t& at(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[(size_t)y * bm.getRowSpan() + x]; }

// Rows stored bottom-up.
class Flipped : public RAST_MemBitmap {
 public:
  Flipped(int w, int h) : RAST_MemBitmap(w, h) {}
  bool isFlipped() override { return true; }
};

// Per byte: (d + s) / 2, the half mix of weight 128 in copy mode.
inline uint32_t halfMix(uint32_t d, uint32_t s) {
  uint32_t o = 0;
  for (int k = 0; k < 4; k++) o |= ((((d >> (8 * k)) & 255) + ((s >> (8 * k)) & 255)) / 2) << (8 * k);
  return o;
}

// The whole-word mixes: each operand's bytes are quartered or halved separately and summed.
inline uint32_t byteMix(uint32_t d, uint32_t s, int dq, int dh, int sq, int sh) {
  uint32_t o = 0;
  for (int k = 0; k < 4; k++) {
    const int db = (d >> (8 * k)) & 255, sb = (s >> (8 * k)) & 255;
    const int v = (dq ? db / 4 : 0) + (dh ? db / 2 : 0) + (sq ? sb / 4 : 0) + (sh ? sb / 2 : 0);
    o |= (uint32_t)v << (8 * k);
  }
  return o;
}
inline uint32_t fastHalf(uint32_t d, uint32_t s) { return byteMix(d, s, 0, 1, 0, 1); }
inline uint32_t fastQuarter(uint32_t d, uint32_t s) { return byteMix(d, s, 1, 1, 1, 0); }
inline uint32_t fastThreeQuarter(uint32_t d, uint32_t s) { return byteMix(d, s, 1, 0, 1, 1); }

// A bitmap of known content and the model of what it should become.
class Scene {
 public:
  Scene(int w, int h, uint32_t seed = 7, bool flipped = false)
      : w_(w), h_(h), bm_(flipped ? (RAST_MemBitmap*)new Flipped(w, h) : new RAST_MemBitmap(w, h)), flipped_(flipped) {
    std::mt19937 rng(seed);
    model_.resize((size_t)w * h);
    for (auto& p : model_) p = rng();
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) stored(x, y) = model_[(size_t)y * w + x];
  }
  ~Scene() { delete bm_; }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  RAST_IBitmap* bm() { return bm_; }
  // Pixel as the caller counts rows.
  uint32_t& stored(int x, int y) { return at(*bm_, x, flipped_ ? h_ - 1 - y : y); }
  uint32_t& model(int x, int y) { return model_[(size_t)y * w_ + x]; }
  void setAll(uint32_t v) {
    for (int y = 0; y < h_; y++)
      for (int x = 0; x < w_; x++) stored(x, y) = model(x, y) = v;
  }

  // One touch through a combiner at an integer weight, as the reference rules say.
  void touch(int x, int y, uint32_t colour, int weight, int mode) {
    ASSERT_TRUE(x >= 0 && x < w_ && y >= 0 && y < h_) << "model touch outside at " << x << "," << y;
    uint32_t& p = model(x, y);
    // HSV adjust runs even at weight 0, where it is not the identity.
    if ((mode & 0xFF) == 5)
      p = ref::pack(ref::hsv(ref::unpack(p), ref::unpack(colour), weight));
    else
      p = ref::combine(p, colour, weight, mode & 0xFF);
  }
  template <class F>
  void apply(int x, int y, F f) {
    ASSERT_TRUE(x >= 0 && x < w_ && y >= 0 && y < h_) << "model touch outside at " << x << "," << y;
    uint32_t& p = model(x, y);
    p = f(p);
  }

  // Every pixel equals the model; reports the first few that do not.
  ::testing::AssertionResult matches() {
    int bad = 0;
    std::string msg;
    for (int y = 0; y < h_; y++)
      for (int x = 0; x < w_; x++)
        if (stored(x, y) != model(x, y)) {
          if (bad < 8) {
            char b[96];
            snprintf(b, sizeof b, " (%d,%d) got %08x want %08x;", x, y, stored(x, y), model(x, y));
            msg += b;
          }
          bad++;
        }
    if (!bad) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " pixels differ:" << msg;
  }

  int w() const { return w_; }
  int h() const { return h_; }

 private:
  int w_, h_;
  RAST_MemBitmap* bm_;
  bool flipped_;
  std::vector<uint32_t> model_;
};

// A scene whose bitmap and model start all zero.
struct BlankScene : Scene {
  BlankScene(int w, int h, bool flipped = false) : Scene(w, h, 7, flipped) { setAll(0); }
};

// Modes 0..5 with the mode names for test output.
inline const char* modeName(int m) {
  static const char* n[] = {"copy", "add", "dodge", "multiply", "overlay", "hsv"};
  return (m >= 0 && m < 6) ? n[m] : "other";
}

}  // namespace lt
