#pragma once
#include <atomic>
// The value types the editor surface and its controls share: rectangles, colours, text styles,
// bitmaps with their frame layout, blends, mouse modifiers and directions.
#include <cstring>

class RAST_IBitmap;
class RAST_IFont;

namespace plugdraw {

// Truncation towards zero that saturates instead of leaving the int range (a plain cast of a
// value outside it, or of one that is not a number, is undefined).
inline int TruncInt(double v)
{
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return int(v);
}

// A host's mouse coordinate, truncated and held to a billion either way, so that the offsets
// the views take from it stay in the int range; not a number gives 0.
inline int HostCoord(double v)
{
    return TruncInt(v < -1e9 ? -1e9 : v > 1e9 ? 1e9 : v);
}

} // namespace plugdraw

// A colour as alpha, red, green and blue, each 0 to 255.
struct IColor {
    int A, R, G, B;
    IColor(int a = 255, int r = 0, int g = 0, int b = 0) : A(a), R(r), G(g), B(b) {}
    bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
    bool operator!=(const IColor& o) const { return !(*this == o); }
};

const IColor COLOR_TRANSPARENT(0, 0, 0, 0);

// The pixel word of the raster library: A | R << 8 | G << 16 | B << 24.
inline unsigned int IColorToPixel(const IColor& c)
{
    return unsigned(c.A & 255) | unsigned(c.R & 255) << 8 | unsigned(c.G & 255) << 16 | unsigned(c.B & 255) << 24;
}

inline IColor IColorFromPixel(unsigned int p)
{
    return IColor(int(p & 255), int((p >> 8) & 255), int((p >> 16) & 255), int(p >> 24));
}

// Integer left, top, right, bottom. All four 0 is the empty rectangle.
struct IRECT {
    int L = 0, T = 0, R = 0, B = 0;
    IRECT() = default;
    IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    int W() const { return R - L; }
    int H() const { return B - T; }
    // Half-open, as hits are tested.
    bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
    // Whether this (a control's) rectangle is drawn inside the drawing rectangle d: the left and
    // top edges are inclusive, so a control starting on d's right edge still counts.
    bool Meets(const IRECT& d) const
    {
        return !Empty() && !d.Empty() && L <= d.R && d.L < R && T <= d.B && d.T < B;
    }
    // The smallest rectangle holding both; the empty one does not count.
    IRECT Union(const IRECT& c) const
    {
        if (Empty()) return c;
        if (c.Empty()) return *this;
        return IRECT(L < c.L ? L : c.L, T < c.T ? T : c.T, R > c.R ? R : c.R, B > c.B ? B : c.B);
    }
    bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
    bool operator!=(const IRECT& o) const { return !(*this == o); }
};

// Blend methods of a control's bitmaps; the weight becomes the raster library's alpha.
enum EBlendMethod { kBlendSourceAlpha = 0, kBlendCopy = 1, kBlendAdd = 2, kBlendColorDodge = 3 };

// A control's weight is written when another thread greys it out while the editor draws it:
// a relaxed atomic that still copies and reads as a plain float.
struct IBlendWeight {
    std::atomic<float> mValue;
    IBlendWeight(float value = 1.0f) : mValue(value) {}
    IBlendWeight(const IBlendWeight& other) : mValue(float(other)) {}
    IBlendWeight& operator=(const IBlendWeight& other) { return *this = float(other); }
    IBlendWeight& operator=(float value)
    {
        mValue.store(value, std::memory_order_relaxed);
        return *this;
    }
    operator float() const { return mValue.load(std::memory_order_relaxed); }
};

struct IChannelBlend {
    int mMethod;
    IBlendWeight mWeight;
    explicit IChannelBlend(int method = kBlendSourceAlpha, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

struct IMouseMod {
    bool L, R, S, C, A;
    IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false, bool a = false)
        : L(l), R(r), S(s), C(c), A(a)
    {
    }
};

enum EDirection { kVertical = 0, kHorizontal = 1 };

// A text style. The font found for it is kept in the style, so later draws skip the lookup.
struct IText {
    enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
    enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
    enum EVAlign { kVAlignTop = 0, kVAlignBottom = 1, kVAlignMiddle = 2 };
    enum { kFontNameLen = 32, kDefaultSize = 12, kDefaultQuality = 3 };

    char mFont[kFontNameLen];
    int mSize;
    IColor mColor;
    IColor mTextEntryBGColor;
    IColor mTextEntryFGColor;
    int mStyle;
    int mAlign;
    int mVAlign;
    int mOrientation;
    int mQuality;
    RAST_IFont* mCached = nullptr;

    // Font names longer than the field are cut; a null name is the default face.
    IText(int size = kDefaultSize, const IColor* color = nullptr, const char* font = nullptr,
          int style = kStyleNormal, int align = kAlignCenter, int vAlign = kVAlignMiddle, int orientation = 0,
          int quality = kDefaultQuality)
        : mSize(size), mColor(color ? *color : IColor(255, 0, 0, 0)), mTextEntryBGColor(255, 255, 255, 255),
          mTextEntryFGColor(255, 0, 0, 0), mStyle(style), mAlign(align), mVAlign(vAlign), mOrientation(orientation),
          mQuality(quality)
    {
        SetFont(font ? font : "Consolas");
    }
    void SetFont(const char* font)
    {
        std::strncpy(mFont, font ? font : "", kFontNameLen - 1);
        mFont[kFontNameLen - 1] = '\0';
        mCached = nullptr;
    }
};

// A loaded image: the cached raster bitmap (null for none), its size, and how many frames the
// strip holds and along which axis.
struct IBitmap {
    RAST_IBitmap* mData = nullptr;
    int W = 0, H = 0, N = 1;
    bool mFramesAreHorizontal = false;
    IBitmap() = default;
    IBitmap(RAST_IBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
        : mData(data), W(w), H(h), N(n < 1 ? 1 : n), mFramesAreHorizontal(framesAreHorizontal)
    {
    }
};
