// Drawing into the surface's bitmap through the raster library, and the bitmap and font caches.
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>
#include <typeinfo>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsFont.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IGraphicsStorage.h"
#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_font.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_png.h"
#include "kit/raster/rast_poly.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_rotate.h"
#include "kit/raster/rast_roundrect.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_surface.h"
#include "kit/threadname.h"
#include "kit/wapi/wapi-gdi.h"

using plugdraw::TruncInt;

namespace {

constexpr int kSourceAlpha = 0x10000;
constexpr int kBilinear = 0x100;
// Below this many pixels of drawRect, looking for a cover costs more than the background it saves.
constexpr long long kMinCoverSearch = 128 * 64;
// Sides beyond this are not a bitmap anyone draws; scaling to them would only exhaust memory.
constexpr double kMaxSide = 65536.0;

int BlendWord(const IChannelBlend* blend)
{
    if (!blend) return kSourceAlpha;
    switch (blend->mMethod) {
    case kBlendCopy: return 0;
    case kBlendAdd: return kSourceAlpha | 1;
    case kBlendColorDodge: return kSourceAlpha | 2;
    default: return kSourceAlpha;
    }
}

float Weight(const IChannelBlend* blend)
{
    return blend ? float(blend->mWeight) : 1.0f;
}

unsigned int Pixel(const IColor* c)
{
    return c ? IColorToPixel(*c) : IColorToPixel(IColor());
}

// Offset of frame k (1-based) along the strip's frame axis; frames below 2 start at 0.
int FrameOffset(const IBitmap* b, int frame)
{
    const int n = b->N < 1 ? 1 : b->N;
    if (frame < 2 || n < 2) return 0;
    const double side = b->mFramesAreHorizontal ? b->W : b->H;
    return TruncInt((frame - 1) * side / n + 0.5);
}

bool Usable(const IBitmap* b)
{
    return b && b->mData && b->mData->getWidth() > 0 && b->mData->getHeight() > 0;
}

int ScaledSide(int side, double scale)
{
    const double s = std::trunc(side * scale);
    return s >= 0.0 && s <= kMaxSide ? int(s) : 0;
}

} // namespace

bool IGraphics::BlitClipped(RAST_IBitmap* src, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend)
{
    if (!src || !dest || !drawBitmap) return true;
    const IRECT& d = *dest;
    const IRECT& c = drawRect;
    if (d.Empty() || c.Empty()) return true;
    if (d.R < c.L || d.L >= c.R || d.B < c.T || d.T >= c.B) return true;
    IRECT i(d.L > c.L ? d.L : c.L, d.T > c.T ? d.T : c.T, d.R < c.R ? d.R : c.R, d.B < c.B ? d.B : c.B);
    RAST_Blit(drawBitmap, src, i.L, i.T, srcX + i.L - d.L, srcY + i.T - d.T, i.W(), i.H(), Weight(blend),
              BlendWord(blend));
    return true;
}

void IGraphics::FindCoverIn(ControlLayer* layer, long long& bestArea)
{
    // As the walk draws: a layer's own flag decides for its controls, each child for itself.
    IControl* c = layer->IsVisible() ? layer->controls.Get(0) : nullptr;
    // Only a plain image of one frame, source over at full weight, leaves its opaque pixels as
    // they are whatever lies beneath; a derived control may draw otherwise.
    if (c && !c->IsHidden() && typeid(*c) == typeid(IBitmapControl)) {
        const IBitmap bitmap = *static_cast<IBitmapControl*>(c)->GetBitmap();
        const IRECT r = *c->GetRECT();
        const IChannelBlend blend = *c->GetBlend();
        const IRECT& d = drawRect;
        const long long w = std::min(r.R, d.R) - std::max(r.L, d.L), h = std::min(r.B, d.B) - std::max(r.T, d.T);
        if (bitmap.N == 1 && Usable(&bitmap) && BlendWord(&blend) == kSourceAlpha && Weight(&blend) == 1.0f &&
            r.W() == bitmap.W && r.H() == bitmap.H && bitmap.W == bitmap.mData->getWidth() &&
            bitmap.H == bitmap.mData->getHeight() && w > 0 && h > 0 && w * h > bestArea) {
            bestArea = w * h;
            mCover = Cover{c, layer, bitmap, r, blend, nullptr};
        }
    }
    for (int i = 0, n = layer->childLayers.GetSize(); i < n; ++i) FindCoverIn(layer->childLayers.Get(i), bestArea);
}

bool IGraphics::FindCover()
{
    mCover = Cover();
    long long area = 0;
    for (int i = 0, n = layers.GetSize(); i < n; ++i) FindCoverIn(layers.Get(i), area);
    if (!mCover.control) return false;
    mCover.rows = BitmapStorage::Instance().OpaqueRowsOf(mCover.bitmap.mData);
    if (!mCover.rows || mCover.rows->size() != size_t(mCover.bitmap.H)) mCover = Cover();
    return mCover.control != nullptr;
}

void IGraphics::DrawCover()
{
    Cover cover = mCover;
    mCover = Cover();
    DrawBitmap(&cover.bitmap, &cover.rect, 1, &cover.blend);
}

void IGraphics::DrawBackground(IControl* background)
{
    // Drawn in pieces, the background must clip to drawRect pixel by pixel: a plain image of
    // one frame does.
    if ((long long)drawRect.W() * drawRect.H() < kMinCoverSearch || typeid(*background) != typeid(IBitmapControl) ||
        static_cast<IBitmapControl*>(background)->GetBitmap()->N != 1 || !FindCover()) {
        background->Draw(this);
        return;
    }
    const IRECT whole = drawRect, c = mCover.rect;
    const BitmapStorage::OpaqueRows& rows = *mCover.rows;
    auto piece = [&](int l, int t, int r, int b) {
        drawRect = IRECT(std::max(l, whole.L), t, std::min(r, whole.R), b);
        if (drawRect.W() > 0 && drawRect.H() > 0) background->Draw(this);
    };
    // The cover meets drawRect: these rows are inside both, and the pieces never overlap.
    const int top = std::max(whole.T, c.T), bottom = std::min(whole.B, c.B);
    piece(whole.L, whole.T, whole.R, top);
    for (int y = top; y < bottom;) {
        const BitmapStorage::OpaqueRun run = rows[size_t(y - c.T)];
        int next = y + 1;
        while (next < bottom && rows[size_t(next - c.T)].begin == run.begin && rows[size_t(next - c.T)].end == run.end)
            ++next;
        if (run.begin < run.end) {
            piece(whole.L, y, c.L + run.begin, next);
            piece(c.L + run.end, y, whole.R, next);
        } else {
            piece(whole.L, y, whole.R, next);
        }
        y = next;
    }
    piece(whole.L, bottom, whole.R, whole.B);
    drawRect = whole;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend)
{
    return bitmap ? BlitClipped(bitmap->mData, dest, srcX, srcY, blend) : true;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, const IChannelBlend* blend)
{
    return DrawBitmap(bitmap, dest, frame, 0, 0, blend);
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, int srcX, int srcY, const IChannelBlend* blend)
{
    if (!bitmap) return true;
    if (frame >= 2 && bitmap->N >= 2) {
        if (bitmap->mFramesAreHorizontal) srcX = FrameOffset(bitmap, frame);
        else srcY = FrameOffset(bitmap, frame);
    }
    return BlitClipped(bitmap->mData, dest, srcX, srcY, blend);
}

bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCX, int destCY, double angle, int yOffsetZeroDeg,
                                  const IChannelBlend* blend)
{
    if (!Usable(bitmap) || !drawBitmap) return true;
    const int w = bitmap->W, h = bitmap->H;
    RAST_RotatedBlit(drawBitmap, bitmap->mData, destCX - w / 2, destCY - h / 2, w, h, 0.0f, 0.0f, float(w), float(h),
                     float(angle), false, Weight(blend), BlendWord(blend) | kBilinear, 0.0f, float(yOffsetZeroDeg));
    return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                                const IChannelBlend* blend)
{
    if (!Usable(base) || !drawBitmap) return true;
    if (!tmpBitmap) tmpBitmap = new RAST_MemBitmap(0, 0, 4);
    const int w = base->W, h = base->H;
    RAST_Copy(tmpBitmap, base->mData);
    RAST_ClearRect(tmpBitmap, 0, 0, w, h, 0xFFFFFF00u, 0);
    const float a = float(angle * 3.141592653589793 / 180.0);
    const float centreX = (w & 1) ? -0.5f : 0.0f;
    if (Usable(mask))
        RAST_RotatedBlit(tmpBitmap, mask->mData, 0, 0, w, h, 0.0f, 0.0f, float(w), float(h), a, true, 1.0f,
                         kSourceAlpha | kBilinear | 1, centreX, 0.0f);
    if (Usable(top))
        RAST_RotatedBlit(tmpBitmap, top->mData, 0, 0, w, h, 0.0f, 0.0f, float(w), float(h), a, true, 1.0f,
                         kSourceAlpha | kBilinear, centreX, 0.0f);
    IRECT dest(x, y, x + w, y + h);
    return BlitClipped(tmpBitmap, &dest, 0, 0, blend);
}

bool IGraphics::FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend)
{
    if (r && drawBitmap) RAST_FillRect(drawBitmap, r->L, r->T, r->W(), r->H(), Pixel(color), Weight(blend), BlendWord(blend));
    return true;
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend,
                         bool antiAlias)
{
    if (drawBitmap)
        RAST_Line(drawBitmap, TruncInt(x1), TruncInt(y1), TruncInt(x2), TruncInt(y2), Pixel(color), Weight(blend),
                  BlendWord(blend), antiAlias);
    return true;
}

bool IGraphics::MeasureIText(IText* text, const char* str, IRECT* r)
{
    return DrawIText(text, str, r, true);
}

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* r, bool measure)
{
    if (!str || !str[0] || !text || !r) return true;
    RAST_IFont* font = text->mCached ? text->mCached : CacheFont(text);
    if (!font) return false;
    font->SetTextColor(IColorToPixel(text->mColor));

    unsigned int flags = DT_NOCLIP;
    if ((text->mColor.A & 255) != 255) flags |= RAST_TEXT_ALPHA_FROM_COLOUR;
    if (text->mAlign == IText::kAlignCenter) flags |= DT_CENTER;
    else if (text->mAlign == IText::kAlignFar) flags |= DT_RIGHT;
    if (text->mVAlign == IText::kVAlignBottom) flags |= DT_BOTTOM;
    else if (text->mVAlign == IText::kVAlignMiddle) flags |= DT_VCENTER;

    if (!measure) {
        RECT rect = {r->L, r->T, r->R, r->B};
        if (drawBitmap) font->DrawText(drawBitmap, str, -1, &rect, flags);
        return true;
    }
    RECT extent = {0, 0, 0, 0};
    font->DrawText(drawBitmap, str, -1, &extent, flags | DT_CALCRECT);
    const int w = extent.right - extent.left, h = extent.bottom - extent.top;
    if (text->mAlign == IText::kAlignCenter) {
        r->L = TruncInt((double(r->L) + r->R) * 0.5) - w / 2;
        r->R = r->L + w;
    } else if (text->mAlign == IText::kAlignFar) {
        r->L = r->R - w;
    } else {
        r->R = r->L + w;
    }
    r->B = r->T + h;
    return true;
}

RAST_IFont* IGraphics::CacheFont(IText* text)
{
    if (!text) return nullptr;
    FontStorage& fonts = FontStorage::Instance();
    if (RAST_IFont* cached = fonts.Find(text)) return text->mCached = cached;

    RAST_CachedFont* font = plugdraw::MakeTextFont(*text);
    if (!font) return nullptr;
    fonts.Add(font, text);
    return text->mCached = font;
}

// ---- bitmaps ----

namespace {

// The image at the scaled size, in place of image. Where the size stays, the filtered pass
// would be a plain copy, so the decoded image is kept as it is.
RAST_IBitmap* ScaledImage(RAST_IBitmap* image, double scale)
{
    if (!image) return nullptr;
    const int iw = image->getWidth(), ih = image->getHeight();
    const int w = ScaledSide(iw, scale), h = ScaledSide(ih, scale);
    if (w == iw && h == ih) return image;
    RAST_MemBitmap* scaled = new RAST_MemBitmap(w, h, 4);
    RAST_ScaledBlit(scaled, image, 0, 0, w, h, 0.0f, 0.0f, float(iw), float(ih), 1.0f, kBilinear);
    delete image;
    return scaled;
}

std::atomic<int> gDecodeThreads{0};

int DecodeThreads(size_t jobs)
{
    int threads = gDecodeThreads.load();
    if (threads < 1) {
        cpu_set_t cpus;
        threads = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
        threads = std::min(threads, 8);
    }
    return int(std::min<size_t>(size_t(std::max(threads, 1)), jobs));
}

} // namespace

void IGraphics::SetBitmapDecodeThreads(int threads)
{
    gDecodeThreads = threads;
}

void IGraphics::DecodeIBitmaps(std::vector<IDecodedBitmap>& images, double scale)
{
    std::vector<const char*> names;
    for (const IDecodedBitmap& image : images) names.push_back(image.name);
    const std::vector<std::string> files = OSBitmapFiles(names);
    if (files.size() != images.size()) return;

    // What another instance already cached is not decoded again.
    std::vector<size_t> todo;
    for (size_t i = 0; i < images.size(); ++i)
        if (!BitmapStorage::Instance().Find(images[i].id)) todo.push_back(i);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t k; (k = next++) < todo.size();) {
            IDecodedBitmap& image = images[todo[k]];
            const std::string& file = files[todo[k]];
            try {
                image.bitmap.reset(ScaledImage(file.empty() ? nullptr : RAST_LoadPNG(file.c_str()), scale));
                image.done = true;
            } catch (...) {
                // Nothing may leave a thread: the image stays undone, and its LoadIBitmap decodes
                // it again on the calling thread, where a failure reaches the caller.
            }
        }
    };
    std::vector<std::thread> threads;
    int count = DecodeThreads(todo.size());
    // Room for every thread before the first starts: a vector that failed to grow would leave a
    // started thread unjoined.
    try {
        threads.reserve(size_t(count));
    } catch (const std::bad_alloc&) {
        count = 0;
    }
    for (int t = 0; t < count; ++t) {
        try {
            threads.emplace_back([&work] {
                KIT_NameThisThread("decode");
                work();
            });
        } catch (...) {
            break; // the threads made, or this one, finish the work
        }
    }
    if (threads.empty()) work();
    for (std::thread& thread : threads) thread.join();
}

IBitmap IGraphics::LoadIBitmap(int id, const char* name, double scale, int nStates, bool framesAreHoriz)
{
    return LoadIBitmap(id, name, scale, nStates, framesAreHoriz, nullptr);
}

IBitmap IGraphics::LoadIBitmap(int id, const char* name, double scale, int nStates, bool framesAreHoriz,
                               IDecodedBitmap* decoded)
{
    BitmapStorage& storage = BitmapStorage::Instance();
    RAST_IBitmap* cached = storage.Find(id);
    if (!cached) {
        RAST_IBitmap* image =
            decoded && decoded->done ? decoded->bitmap.release() : ScaledImage(OSLoadBitmap(id, name), scale);
        // A missing image is not cached, so that a later call tries again.
        if (!image) return IBitmap(nullptr, 0, 0, nStates, framesAreHoriz);
        cached = storage.Add(image, id);
        if (!cached) return IBitmap(nullptr, 0, 0, nStates, framesAreHoriz);
    }
    return IBitmap(cached, cached->getWidth(), cached->getHeight(), nStates, framesAreHoriz);
}

IBitmap IGraphics::getImageById(int id, int nStates, bool framesAreHoriz)
{
    RAST_IBitmap* cached = BitmapStorage::Instance().Find(id);
    if (!cached) return IBitmap(nullptr, 0, 0, nStates, framesAreHoriz);
    return IBitmap(cached, cached->getWidth(), cached->getHeight(), nStates, framesAreHoriz);
}

void IGraphics::RetainBitmap(IBitmap* bitmap)
{
    if (bitmap && bitmap->mData) BitmapStorage::Instance().Add(bitmap->mData, -1);
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap)
{
    if (bitmap && bitmap->mData && BitmapStorage::Instance().Remove(bitmap->mData)) bitmap->mData = nullptr;
}

IBitmap IGraphics::ScaleBitmap(IBitmap* bitmap, int w, int h)
{
    if (!Usable(bitmap) || w < 1 || h < 1) return IBitmap(nullptr, 0, 0, bitmap ? bitmap->N : 1);
    RAST_MemBitmap* scaled = new RAST_MemBitmap(w, h, 4);
    RAST_ScaledBlit(scaled, bitmap->mData, 0, 0, w, h, 0.0f, 0.0f, float(bitmap->W), float(bitmap->H), 1.0f, kBilinear);
    RAST_IBitmap* kept = BitmapStorage::Instance().Add(scaled, -1);
    return kept ? IBitmap(kept, w, h, bitmap->N) : IBitmap(nullptr, 0, 0, bitmap->N);
}

IBitmap IGraphics::CropBitmap(IBitmap* bitmap, IRECT* r)
{
    if (!Usable(bitmap) || !r || r->W() < 1 || r->H() < 1) return IBitmap(nullptr, 0, 0, bitmap ? bitmap->N : 1);
    RAST_MemBitmap* cropped = new RAST_MemBitmap(r->W(), r->H(), 4);
    // Whatever the crop finds outside the source stays clear.
    RAST_FillRect(cropped, 0, 0, r->W(), r->H(), 0, 1.0f, 0);
    RAST_Blit(cropped, bitmap->mData, 0, 0, r->L, r->T, r->W(), r->H(), 1.0f, 0);
    RAST_IBitmap* kept = BitmapStorage::Instance().Add(cropped, -1);
    return kept ? IBitmap(kept, r->W(), r->H(), bitmap->N) : IBitmap(nullptr, 0, 0, bitmap->N);
}

// ---- the rest of the drawing table ----

bool IGraphics::DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend, bool)
{
    if (drawBitmap)
        RAST_PutPixel(drawBitmap, TruncInt(x + 0.5f), TruncInt(y + 0.5f), Pixel(color), Weight(blend), BlendWord(blend));
    return true;
}

bool IGraphics::ForcePixel(const IColor* color, int x, int y)
{
    RAST_Surface s;
    if (!RAST_GetSurface(drawBitmap, s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return true;
    *s.pixel(x, y) = Pixel(color);
    return true;
}

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool antiAlias)
{
    if (drawBitmap)
        RAST_Arc(drawBitmap, cx, cy, r, minAngle, maxAngle, Pixel(color), Weight(blend), BlendWord(blend), antiAlias);
    return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend, bool antiAlias)
{
    if (drawBitmap) RAST_Circle(drawBitmap, cx, cy, r, Pixel(color), Weight(blend), BlendWord(blend), antiAlias);
    return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool antiAlias)
{
    if (r && drawBitmap)
        RAST_RoundRect(drawBitmap, float(r->L), float(r->T), float(r->W()), float(r->H()), cornerRadius, Pixel(color),
                       Weight(blend), BlendWord(blend), antiAlias);
    return true;
}

bool IGraphics::FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cr, bool antiAlias)
{
    if (!r || !drawBitmap) return true;
    const unsigned int px = Pixel(color);
    const float a = Weight(blend);
    const int mode = BlendWord(blend), w = r->W(), h = r->H();
    RAST_FillRect(drawBitmap, r->L + cr, r->T, w - 2 * cr, h, px, a, mode);
    RAST_FillRect(drawBitmap, r->L, r->T + cr, cr, h - 2 * cr, px, a, mode);
    RAST_FillRect(drawBitmap, r->R - cr, r->T + cr, cr, h - 2 * cr, px, a, mode);
    const float left = float(r->L + cr), right = float(r->L + w - cr - 1);
    const float top = float(r->T + cr), bottom = float(r->T + h - cr - 1);
    RAST_FillCircle(drawBitmap, left, top, float(cr), px, a, mode, antiAlias);
    RAST_FillCircle(drawBitmap, right, bottom, float(cr), px, a, mode, antiAlias);
    RAST_FillCircle(drawBitmap, right, top, float(cr), px, a, mode, antiAlias);
    RAST_FillCircle(drawBitmap, left, bottom, float(cr), px, a, mode, antiAlias);
    return true;
}

bool IGraphics::FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend, bool antiAlias)
{
    if (drawBitmap)
        RAST_FillCircle(drawBitmap, float(cx), float(cy), r, Pixel(color), Weight(blend), BlendWord(blend), antiAlias);
    return true;
}

bool IGraphics::FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                             const IChannelBlend* blend)
{
    if (drawBitmap)
        RAST_FillTriangle(drawBitmap, x1, y1, x2, y2, x3, y3, Pixel(color), Weight(blend), BlendWord(blend));
    return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints, const IChannelBlend* blend)
{
    if (drawBitmap && x && y && npoints > 0)
        RAST_FillConvexPolygon(drawBitmap, x, y, npoints, Pixel(color), Weight(blend), BlendWord(blend));
    return true;
}

bool IGraphics::DrawRect(const IColor* color, IRECT* r)
{
    if (!r || !drawBitmap) return true;
    const unsigned int px = Pixel(color);
    RAST_Line(drawBitmap, r->L, r->T, r->R, r->T, px, 1.0f, 0, false);
    RAST_Line(drawBitmap, r->L, r->B, r->R, r->B, px, 1.0f, 0, false);
    RAST_Line(drawBitmap, r->L, r->T, r->L, r->B, px, 1.0f, 0, false);
    RAST_Line(drawBitmap, r->R, r->T, r->R, r->B, px, 1.0f, 0, false);
    return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi)
{
    if (drawBitmap) RAST_Line(drawBitmap, xi, yLo, xi, yHi, Pixel(color), 1.0f, 0, false);
    return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi)
{
    if (drawBitmap) RAST_Line(drawBitmap, xLo, yi, xHi, yi, Pixel(color), 1.0f, 0, false);
    return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, IRECT* r, float x)
{
    if (!r) return true;
    const float f = x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
    return DrawVerticalLine(color, r->L + TruncInt((r->R - r->L) * f), r->T, r->B);
}

bool IGraphics::DrawHorizontalLine(const IColor* color, IRECT* r, float y)
{
    if (!r) return true;
    const float f = y < 0.0f ? 0.0f : (y > 1.0f ? 1.0f : y);
    return DrawHorizontalLine(color, r->B - TruncInt((r->B - r->T) * f), r->L, r->R);
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool antiAlias)
{
    const float s = std::sin(angle), c = std::cos(angle);
    return DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend, antiAlias);
}

IColor IGraphics::GetPoint(int x, int y)
{
    return IColorFromPixel(drawBitmap ? RAST_GetPixel(drawBitmap, x, y) : 0u);
}

void* IGraphics::GetBits()
{
    return drawBitmap ? drawBitmap->getBits() : nullptr;
}
