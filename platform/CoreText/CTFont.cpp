#include <CoreText/CoreText.h>
#include <CoreGraphics/CGContextMask.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct FaceInfo {
  std::string file;
  int index = 0;
  std::vector<std::string> families;  // lower case
  std::string family;                 // first family, as written
  std::string postscript;
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
  int width = FC_WIDTH_NORMAL;
  bool mono = false;
};

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// One glyph as FreeType rendered it for one pen fraction, ready to paint: rows top first on
// screen, offsets from the pen's whole pixel. Empty when there is nothing to paint.
struct RenderedGlyph {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> mask;
};

// An open face at one size, shared by every font of that face and size, with what has been
// looked up and rendered through it. Lives while fonts use it and a while after (see Library).
struct SizedFace {
  const FaceInfo* info = nullptr;
  long size64 = 0;  // 26.6 character size
  FT_Face face = nullptr;
  int users = 0;
  int cmap[128];  // glyph of each ASCII character, -1 until looked up
  std::unordered_map<uint16_t, double> advances;
  std::unordered_map<uint64_t, RenderedGlyph> rendered;
  size_t renderedBytes = 0;
  // Renderings last found, by a hash of their key, ahead of the map; emptied with it.
  struct Recent {
    uint64_t key = ~uint64_t(0);
    const RenderedGlyph* glyph = nullptr;
  };
  Recent recent[512];
};

// Rendered coverage kept per face and size; past this the face's renderings start again.
constexpr size_t kRenderedBytesPerFace = 1 << 20;
// Faces no font uses any more that stay open for the next font of the same name and size.
constexpr size_t kIdleFaces = 8;
// Names whose face lookup is remembered; past this the memory starts again.
constexpr size_t kResolvedNames = 512;

// FreeType is not thread-safe per library; one library and one lock serve every font and the
// caches above.
struct Library {
  std::mutex mutex;
  FT_Library ft = nullptr;
  std::vector<FaceInfo> faces;
  std::unordered_map<std::string, const FaceInfo*> resolved;
  std::list<std::unique_ptr<SizedFace>> open;  // most recently used first

  Library() {
    if (FT_Init_FreeType(&ft) != 0) ft = nullptr;
    FcInit();
    FcPattern* pat = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_POSTSCRIPT_NAME,
                                       FC_WEIGHT, FC_SLANT, FC_WIDTH, FC_SPACING, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    if (set) {
      for (int i = 0; i < set->nfont; ++i) {
        FcPattern* p = set->fonts[i];
        FaceInfo f;
        FcChar8* s = nullptr;
        if (FcPatternGetString(p, FC_FILE, 0, &s) != FcResultMatch) continue;
        f.file = reinterpret_cast<const char*>(s);
        FcPatternGetInteger(p, FC_INDEX, 0, &f.index);
        for (int k = 0; FcPatternGetString(p, FC_FAMILY, k, &s) == FcResultMatch; ++k) {
          if (k == 0) f.family = reinterpret_cast<const char*>(s);
          f.families.push_back(lower(reinterpret_cast<const char*>(s)));
        }
        if (FcPatternGetString(p, FC_POSTSCRIPT_NAME, 0, &s) == FcResultMatch)
          f.postscript = reinterpret_cast<const char*>(s);
        FcPatternGetInteger(p, FC_WEIGHT, 0, &f.weight);
        FcPatternGetInteger(p, FC_SLANT, 0, &f.slant);
        FcPatternGetInteger(p, FC_WIDTH, 0, &f.width);
        int spacing = FC_PROPORTIONAL;
        if (FcPatternGetInteger(p, FC_SPACING, 0, &spacing) == FcResultMatch)
          f.mono = spacing == FC_MONO;
        faces.push_back(std::move(f));
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    // Stable order, so that a name always resolves to the same face.
    std::sort(faces.begin(), faces.end(), [](const FaceInfo& a, const FaceInfo& b) {
      return a.file != b.file ? a.file < b.file : a.index < b.index;
    });
  }

  // At unload, which also closes every open face. Fonts still alive then (the process-wide
  // default font) are never used again.
  ~Library() {
    if (ft) FT_Done_FreeType(ft);
    FcFini();
  }
};

Library& lib() {
  static Library l;
  return l;
}

bool endsWithWord(const std::string& s, const char* word, std::string* rest) {
  size_t n = strlen(word);
  if (s.size() < n) return false;
  if (lower(s.substr(s.size() - n)) != word) return false;
  size_t cut = s.size() - n;
  if (cut > 0 && s[cut - 1] != ' ' && s[cut - 1] != '-') return false;
  *rest = s.substr(0, cut > 0 ? cut - 1 : 0);
  return true;
}

bool looksMonospace(const std::string& name) {
  std::string l = lower(name);
  for (const char* w : {"mono", "courier", "menlo", "monaco", "consol", "fixed", "terminal",
                        "typewriter", "code"})
    if (l.find(w) != std::string::npos) return true;
  return false;
}

// Best face of one family for the wanted weight and slant.
const FaceInfo* bestOfFamily(const std::string& familyLower, bool bold, bool italic,
                             bool wantMono) {
  const FaceInfo* best = nullptr;
  int bestScore = 0;
  for (const FaceInfo& f : lib().faces) {
    if (std::find(f.families.begin(), f.families.end(), familyLower) == f.families.end())
      continue;
    if (wantMono && !f.mono) continue;
    int score = std::abs(f.weight - (bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR)) +
                (((f.slant != FC_SLANT_ROMAN) != italic) ? 1000 : 0) +
                std::abs(f.width - FC_WIDTH_NORMAL) * 2;
    if (!best || score < bestScore) {
      best = &f;
      bestScore = score;
    }
  }
  return best;
}

const FaceInfo* resolveUncached(const std::string& name) {
  for (const FaceInfo& f : lib().faces)
    if (!f.postscript.empty() && lower(f.postscript) == lower(name)) return &f;
  // "Family Bold Italic" or "Family-BoldItalic".
  std::string family = name, rest;
  bool bold = false, italic = false;
  for (bool changed = true; changed;) {
    changed = false;
    for (const char* w : {"italic", "oblique"})
      if (endsWithWord(family, w, &rest)) family = rest, italic = changed = true;
    if (endsWithWord(family, "bold", &rest)) family = rest, bold = changed = true;
    if (endsWithWord(family, "bolditalic", &rest) || endsWithWord(family, "boldoblique", &rest))
      family = rest, bold = italic = changed = true;
    if (endsWithWord(family, "regular", &rest) || endsWithWord(family, "roman", &rest))
      family = rest, changed = true;
  }
  if (!family.empty())
    if (const FaceInfo* f = bestOfFamily(lower(family), bold, italic, false)) return f;
  bool mono = looksMonospace(name);
  if (const FaceInfo* f = bestOfFamily(mono ? "dejavu sans mono" : "dejavu sans", bold, italic,
                                       false))
    return f;
  return lib().faces.empty() ? nullptr : &lib().faces.front();
}

// The face list never changes after start-up, so a name's answer holds for the whole run.
const FaceInfo* resolve(const std::string& name) {
  Library& l = lib();
  {
    std::lock_guard<std::mutex> lock(l.mutex);
    auto it = l.resolved.find(name);
    if (it != l.resolved.end()) return it->second;
  }
  const FaceInfo* info = resolveUncached(name);
  std::lock_guard<std::mutex> lock(l.mutex);
  if (l.resolved.size() >= kResolvedNames) l.resolved.clear();
  l.resolved.emplace(name, info);
  return info;
}

// The open face of info at size64, opened when none is; nullptr when FreeType refuses. Called
// with the library locked.
SizedFace* acquireFace(const FaceInfo* info, long size64) {
  Library& l = lib();
  for (auto it = l.open.begin(); it != l.open.end(); ++it)
    if ((*it)->info == info && (*it)->size64 == size64) {
      l.open.splice(l.open.begin(), l.open, it);
      (*it)->users++;
      return it->get();
    }
  FT_Face face = nullptr;
  if (FT_New_Face(l.ft, info->file.c_str(), info->index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face) || FT_Set_Char_Size(face, 0, FT_F26Dot6(size64), 72, 72) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto sf = std::make_unique<SizedFace>();
  sf->info = info;
  sf->size64 = size64;
  sf->face = face;
  sf->users = 1;
  std::fill(std::begin(sf->cmap), std::end(sf->cmap), -1);
  l.open.push_front(std::move(sf));
  return l.open.front().get();
}

// A font is done with its face; faces beyond the idle allowance are closed, least recent first.
// Called with the library locked.
void releaseFace(SizedFace* sf) {
  Library& l = lib();
  sf->users--;
  size_t idle = 0;
  for (auto it = l.open.begin(); it != l.open.end();) {
    if ((*it)->users == 0 && ++idle > kIdleFaces) {
      FT_Done_Face((*it)->face);
      it = l.open.erase(it);
    } else {
      ++it;
    }
  }
}

FT_UInt glyphOf(SizedFace* sf, uint32_t cp) {
  if (cp < 128) {
    if (sf->cmap[cp] < 0) sf->cmap[cp] = int(FT_Get_Char_Index(sf->face, cp));
    return FT_UInt(sf->cmap[cp]);
  }
  return FT_Get_Char_Index(sf->face, cp);
}

double advanceOf(SizedFace* sf, CGGlyph g) {
  auto it = sf->advances.find(g);
  if (it != sf->advances.end()) return it->second;
  FT_Fixed a = 0;
  if (FT_Get_Advance(sf->face, g, FT_LOAD_NO_HINTING, &a) != 0) a = 0;
  const double w = double(a) / 65536.0;
  sf->advances.emplace(g, w);
  return w;
}

// The glyph rendered with its outline moved by (dx, dy) 64ths of a pixel, from the face's cache
// or rendered now. The outline is moved, not the bitmap, so each pen fraction is its own
// rendering. Called with the library locked.
const RenderedGlyph& renderedOf(SizedFace* sf, CGGlyph g, int dx, int dy, bool aa, bool upright) {
  // dx is 0..64 and dy -64..64: a byte each.
  const uint64_t key = uint64_t(g) | uint64_t(dx & 0xFF) << 16 | uint64_t((dy + 64) & 0xFF) << 24 |
                       uint64_t(aa) << 32 | uint64_t(upright) << 33;
  SizedFace::Recent& recent = sf->recent[(key * 0x9E3779B97F4A7C15u) >> 55];
  if (recent.key == key) return *recent.glyph;
  auto it = sf->rendered.find(key);
  if (it != sf->rendered.end()) {
    recent = SizedFace::Recent{key, &it->second};
    return it->second;
  }
  if (sf->renderedBytes > kRenderedBytesPerFace) {
    sf->rendered.clear();
    sf->renderedBytes = 0;
    std::fill(std::begin(sf->recent), std::end(sf->recent), SizedFace::Recent());
  }
  RenderedGlyph& out = sf->rendered[key];
  recent = SizedFace::Recent{key, &out};
  FT_Face face = sf->face;
  FT_Int32 load = FT_LOAD_NO_BITMAP | (aa ? FT_LOAD_TARGET_LIGHT : FT_LOAD_TARGET_MONO);
  if (FT_Load_Glyph(face, g, load) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return out;
  FT_Outline_Translate(&face->glyph->outline, dx, dy);
  if (FT_Render_Glyph(face->glyph, aa ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return out;
  const FT_Bitmap& bm = face->glyph->bitmap;
  const int w = int(bm.width), h = int(bm.rows);
  if (w <= 0 || h <= 0) return out;
  out.mask.assign(size_t(w) * size_t(h), 0);
  for (int r = 0; r < h; ++r) {
    const uint8_t* src = bm.buffer + long(r) * bm.pitch;
    int dr = upright ? r : h - 1 - r;
    uint8_t* dst = out.mask.data() + size_t(dr) * size_t(w);
    for (int k = 0; k < w; ++k)
      dst[k] = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[k >> 3] >> (7 - (k & 7))) & 1) * 255 : src[k];
  }
  out.left = face->glyph->bitmap_left;
  out.top = face->glyph->bitmap_top;
  out.width = w;
  out.height = h;
  sf->renderedBytes += out.mask.size() + sizeof(RenderedGlyph) + 32;
  return out;
}

// CGPointApplyAffineTransform's own sums, here where the compiler can inline them per glyph.
inline CGPoint applied(CGPoint p, const CGAffineTransform& t) {
  return CGPoint{t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

// std::lround for |x| <= 64 (a pen fraction in 64ths), without the library call: x less its
// whole part is exact, so the half-way test matches lround's rounding away from zero.
inline int roundedFraction(double x) {
  const int whole = int(x);
  const double rest = x - whole;
  return whole + (rest >= 0.5) - (rest <= -0.5);
}

}  // namespace

struct QORCTFont {
  std::atomic<int> refs{1};
  SizedFace* sized = nullptr;
  FT_Face face = nullptr;
  CGFloat size = 12;
  std::string postscript;
  std::string family;
};

static CTFontRef makeFont(const FaceInfo* info, CGFloat size) {
  if (!info || !lib().ft) return nullptr;
  std::lock_guard<std::mutex> lock(lib().mutex);
  SizedFace* sf = acquireFace(info, std::lround(size * 64));
  if (!sf) return nullptr;
  QORCTFont* f = new QORCTFont;
  f->sized = sf;
  f->face = sf->face;
  f->size = size;
  const char* ps = FT_Get_Postscript_Name(sf->face);
  f->postscript = ps ? ps : info->postscript;
  f->family = info->family;
  return f;
}

CTFontRef CTFontCreateWithNameUTF8(const char* name, CGFloat size, const CGAffineTransform*) {
  if (!(size > 0) || !std::isfinite(size)) size = 12;
  std::string n = name ? name : "";
  if (n.empty()) n = "DejaVu Sans";
  return makeFont(resolve(n), size);
}

CTFontRef CTFontCreateUIFontForLanguage(CTFontUIFontType, CGFloat size, const char*) {
  return CTFontCreateWithNameUTF8("DejaVu Sans", size, nullptr);
}

CTFontRef CTFontRetain(CTFontRef f) {
  if (f) f->refs.fetch_add(1);
  return f;
}

void CTFontRelease(CTFontRef f) {
  if (!f || f->refs.fetch_sub(1) != 1) return;
  {
    std::lock_guard<std::mutex> lock(lib().mutex);
    releaseFace(f->sized);
  }
  delete f;
}

const char* CTFontGetPostScriptNameUTF8(CTFontRef f) { return f ? f->postscript.c_str() : nullptr; }
const char* CTFontGetFamilyNameUTF8(CTFontRef f) { return f ? f->family.c_str() : nullptr; }

CGFloat CTFontGetSize(CTFontRef f) { return f ? f->size : 0; }

// Typographic values from the face's design units, not hinted pixel metrics.
static CGFloat scaled(CTFontRef f, long units) {
  return f->face->units_per_EM ? CGFloat(units) * f->size / f->face->units_per_EM : 0;
}

CGFloat CTFontGetAscent(CTFontRef f) { return f ? scaled(f, f->face->ascender) : 0; }
CGFloat CTFontGetDescent(CTFontRef f) { return f ? scaled(f, -long(f->face->descender)) : 0; }
CGFloat CTFontGetLeading(CTFontRef f) {
  if (!f) return 0;
  long gap = long(f->face->height) - long(f->face->ascender) + long(f->face->descender);
  return gap > 0 ? scaled(f, gap) : 0;
}

bool CTFontGetGlyphsForCharacters(CTFontRef f, const UniChar* chars, CGGlyph* glyphs,
                                  CFIndex count) {
  if (!f || !chars || !glyphs || count <= 0) return false;
  bool all = true;
  std::lock_guard<std::mutex> lock(lib().mutex);
  for (CFIndex i = 0; i < count; ++i) {
    uint32_t cp = chars[i];
    bool pair = cp >= 0xD800 && cp < 0xDC00 && i + 1 < count && chars[i + 1] >= 0xDC00 &&
                chars[i + 1] < 0xE000;
    if (pair) cp = 0x10000 + ((cp - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
    FT_UInt g = glyphOf(f->sized, cp);
    glyphs[i] = CGGlyph(g > 0xFFFF ? 0 : g);
    if (!glyphs[i]) all = false;
    if (pair) glyphs[++i] = 0;
  }
  return all;
}

double CTFontGetAdvancesForGlyphs(CTFontRef f, CTFontOrientation, const CGGlyph* glyphs,
                                  CGSize* adv, CFIndex count) {
  if (!f || !glyphs || count <= 0) return 0;
  double total = 0;
  std::lock_guard<std::mutex> lock(lib().mutex);
  for (CFIndex i = 0; i < count; ++i) {
    double w = advanceOf(f->sized, glyphs[i]);
    if (adv) adv[i] = CGSize{w, 0};
    total += w;
  }
  return total;
}

void CTFontDrawGlyphs(CTFontRef f, const CGGlyph* glyphs, const CGPoint* pos, size_t count,
                      CGContextRef c) {
  if (!f || !glyphs || !pos || !c || count == 0) return;
  const long height = long(CGBitmapContextGetHeight(c));
  const CGAffineTransform tm = CGContextGetTextMatrix(c);
  const CGAffineTransform ctm = CGContextGetCTM(c);
  const CGPoint tp = CGContextGetTextPosition(c);
  // Glyph space to device: the text matrix's linear part, then the CTM's.
  CGAffineTransform lin = CGAffineTransformConcat(CGAffineTransform{tm.a, tm.b, tm.c, tm.d, 0, 0},
                                                  CGAffineTransform{ctm.a, ctm.b, ctm.c, ctm.d, 0, 0});
  const bool upright = lin.d > 0;
  const bool aa = QORCGContextGetShouldAntialias(c);

  // Painted as one batch, under the lock that keeps the renderings; flushed before the face's
  // renderings may start again, which would free those already in the batch.
  thread_local std::vector<QORCGMask> batch;
  batch.clear();
  std::lock_guard<std::mutex> lock(lib().mutex);
  for (size_t i = 0; i < count; ++i) {
    if (glyphs[i] == 0) continue;
    CGPoint user = applied(pos[i], tm);
    user.x += tp.x;
    user.y += tp.y;
    CGPoint dev = applied(user, ctm);
    if (!std::isfinite(dev.x) || !std::isfinite(dev.y) || std::fabs(dev.x) > 1e7 ||
        std::fabs(dev.y) > 1e7)
      continue;
    double fx = std::floor(dev.x), fy = std::floor(dev.y);
    // Keep the fractional part of the origin in the outline, so text lands where measured.
    double subx = dev.x - fx, suby = dev.y - fy;
    if (f->sized->renderedBytes > kRenderedBytesPerFace && !batch.empty()) {
      QORCGContextPaintMasks(c, batch.data(), batch.size());
      batch.clear();
    }
    const RenderedGlyph& rg = renderedOf(f->sized, glyphs[i], roundedFraction(subx * 64),
                                         roundedFraction((upright ? suby : -suby) * 64), aa, upright);
    if (rg.width <= 0) continue;
    long left = long(fx) + rg.left;
    long top = upright ? height - (long(fy) + rg.top) : height - (long(fy) - rg.top + rg.height);
    if (left > INT32_MAX || left < INT32_MIN || top > INT32_MAX || top < INT32_MIN) continue;
    batch.push_back(QORCGMask{int(left), int(top), rg.mask.data(), rg.width, rg.height, rg.width});
  }
  if (!batch.empty()) QORCGContextPaintMasks(c, batch.data(), batch.size());
}
