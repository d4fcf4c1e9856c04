#include "app/sdl/backend.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "app/sdl/log.h"
#include "app/sdl/x11.h"
#include "media/picture_scale.h"

namespace sdl {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kShadow{128, 128, 128};
constexpr Rgb kLight{192, 192, 192};
// Enough for the frog's eating and talking frames, each after the one before.
constexpr std::size_t kDifferencesKept = 16;
// Longer than a child usually takes between letters, which need the letter's
// and the score's fonts again; a slower one has them opened again after a
// pause, when a millisecond is not missed.
constexpr std::int64_t kFontIdleMs = 3'000;

// Within the surface's clip, as SDL_FillRect. On a window's four bytes a
// pixel a plain loop: SDL's fill streams each row past the cache, which is
// several times slower for the reward's flashing edge, narrow bands redrawn
// ten times a second.
void fill(SDL_Surface* to, Rgb c, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  const SDL_Rect rect{x, y, w, h};
  const Uint32 colour = SDL_MapRGB(to->format, c.r, c.g, c.b);
  if (to->format->BytesPerPixel != 4 || SDL_MUSTLOCK(to)) {
    if (SDL_FillRect(to, &rect, colour) != 0) warn("SDL_FillRect");
    return;
  }
  SDL_Rect area;
  if (!SDL_IntersectRect(&rect, &to->clip_rect, &area)) return;
  auto rowAt = [&](int row) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(to->pixels) +
                                     static_cast<std::size_t>(row) * to->pitch) +
           area.x;
  };
  // One row pixel by pixel, the others copied from it: a copy moves many
  // pixels at a step, and the whole window is filled at its first paint.
  const Uint32* first = rowAt(area.y);
  std::fill_n(rowAt(area.y), area.w, colour);
  for (int row = area.y + 1; row < area.y + area.h; ++row)
    std::memcpy(rowAt(row), first, static_cast<std::size_t>(area.w) * sizeof(Uint32));
}

// False when nothing of the area can show.
bool clipTo(SDL_Surface* to, const SDL_Rect& clip) {
  if (clip.w <= 0 || clip.h <= 0) return false;
  return SDL_SetClipRect(to, &clip) == SDL_TRUE;
}

void blit(SDL_Surface* from, SDL_Surface* to, int x, int y) {
  SDL_Rect at{x, y, from->w, from->h};
  if (SDL_BlitSurface(from, nullptr, to, &at) != 0) warn("SDL_BlitSurface");
}

// Pixels r, g, b in memory become 0x00rrggbb, four at a time from three
// 32-bit words.
void toXrgb(const Uint8* in, Uint32* out, int count, Uint32 alpha) {
  auto xrgb = [alpha](Uint32 rgbx) { return __builtin_bswap32(rgbx << 8) | alpha; };
  int i = 0;
  for (; i + 4 <= count; i += 4, in += 12) {
    Uint32 w[3];
    std::memcpy(w, in, 12);
    out[i] = xrgb(w[0]);
    out[i + 1] = xrgb((w[0] >> 24) | (w[1] << 8));
    out[i + 2] = xrgb((w[1] >> 16) | (w[2] << 16));
    out[i + 3] = xrgb(w[2] >> 8);
  }
  for (; i < count; ++i, in += 3)
    out[i] = (Uint32{in[0]} << 16) | (Uint32{in[1]} << 8) | Uint32{in[2]} | alpha;
}

#if defined(__x86_64__) || defined(__i386__)
// The same with one byte shuffle for four pixels, where the processor has
// it (nearly every x86 one made since 2006): the frog's frames are millions
// of pixels at 4K.
__attribute__((target("ssse3"))) void toXrgbShuffled(const Uint8* in, Uint32* out, int count,
                                                     Uint32 alpha) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i fixed = _mm_set1_epi32(static_cast<int>(alpha));
  int i = 0;
  // Sixteen bytes are read for twelve: never past the row's last pixel.
  for (; i + 6 <= count; i += 4, in += 12)
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out + i),
        _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), order),
                     fixed));
  toXrgb(in, out + i, count - i, alpha);
}
#endif

void convertRow(const Uint8* in, Uint32* out, int count, Uint32 alpha) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool shuffles = __builtin_cpu_supports("ssse3");
  if (shuffles) return toXrgbShuffled(in, out, count, alpha);
#endif
  toXrgb(in, out, count, alpha);
}

// A picture's three bytes a pixel onto a window of four (as X's are), within
// the window's clip: a plain loop does it several times faster than SDL's
// general blit, and the frog's box at 4K is over a million pixels a tick.
void copyPicture(SDL_Surface* from, SDL_Surface* to, int x, int y) {
  const SDL_PixelFormat& f = *to->format;
  if (from->format->format != SDL_PIXELFORMAT_RGB24 || f.BytesPerPixel != 4 || f.Rshift != 16 ||
      f.Gshift != 8 || f.Bshift != 0 || f.Rloss || f.Gloss || f.Bloss || SDL_MUSTLOCK(to))
    return blit(from, to, x, y);
  const SDL_Rect at{x, y, from->w, from->h};
  SDL_Rect area;
  if (!SDL_IntersectRect(&at, &to->clip_rect, &area)) return;
  for (int row = 0; row < area.h; ++row)
    convertRow(static_cast<const Uint8*>(from->pixels) +
                   static_cast<std::size_t>(area.y - y + row) * from->pitch + (area.x - x) * 3,
               reinterpret_cast<Uint32*>(static_cast<Uint8*>(to->pixels) +
                                         static_cast<std::size_t>(area.y + row) * to->pitch) +
                   area.x,
               area.w, f.Amask);
}

SDL_Rect intersection(const SDL_Rect& a, const SDL_Rect& b) {
  SDL_Rect out{0, 0, 0, 0};
  if (!SDL_IntersectRect(&a, &b, &out)) return SDL_Rect{0, 0, 0, 0};
  return out;
}

// The classic edge, two lines deep, within the box; each line `edge / 2`
// pixels wide, so the edge grows with the screen.
struct Bevel {
  Rgb outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
};
constexpr Bevel kSunken{kShadow, kWhite, kBlack, kLight};  // a picture's frame
constexpr Bevel kRaised{kLight, kBlack, kWhite, kShadow};  // a button or a dialog

void drawBevel(SDL_Surface* to, const SDL_Rect& b, int edge, const Bevel& v) {
  const int o = std::max(1, edge / 2), i = std::max(1, edge - o);
  fill(to, v.outerTopLeft, b.x, b.y, b.w - o, o);
  fill(to, v.outerTopLeft, b.x, b.y, o, b.h - o);
  fill(to, v.outerBottomRight, b.x, b.y + b.h - o, b.w, o);
  fill(to, v.outerBottomRight, b.x + b.w - o, b.y, o, b.h);
  fill(to, v.innerTopLeft, b.x + o, b.y + o, b.w - 2 * o - i, i);
  fill(to, v.innerTopLeft, b.x + o, b.y + o, i, b.h - 2 * o - i);
  fill(to, v.innerBottomRight, b.x + o, b.y + b.h - o - i, b.w - 2 * o, i);
  fill(to, v.innerBottomRight, b.x + b.w - o - i, b.y + o, i, b.h - 2 * o);
}

bool sameLook(const Look& a, const Look& b) {
  return a.shown == b.shown && SDL_RectEquals(&a.at, &b.at) && a.picture == b.picture &&
         a.back == b.back && a.fore == b.fore && a.border == b.border && a.align == b.align &&
         a.caption == b.caption && a.font.name == b.font.name && a.font.points == b.font.points &&
         a.font.weight == b.font.weight;
}

// The areas holding every pixel in which two pictures of one size differ,
// none when none does: in each band of kBandRows rows, the columns where
// any of its rows differs, in runs parted by at least kGapColumns that none
// does, each as tall as the band's differing rows, and joined with a run of
// the band above that spans the same columns. A frame of the frog differs
// from the one before all over its body, whose outline these follow (and
// the tongue's, apart from it): at 3840x2160 the seven frames' areas are
// 2.27 million pixels to draw and send, against 2.65 in a box round each
// band of 32 rows and 3.7 in one box round all. Compared eight bytes at a
// time; a differing word marks all the pixels it touches.
constexpr int kBandRows = 16;
constexpr int kGapColumns = 16;

std::vector<SDL_Rect> differing(const media::Picture& a, const media::Picture& b) {
  const std::size_t rowBytes = static_cast<std::size_t>(a.width) * 3;
  auto row = [&](const media::Picture& p, int y) {
    return reinterpret_cast<const Uint8*>(p.pixels.data()) + static_cast<std::size_t>(y) * rowBytes;
  };
  auto word = [](const Uint8* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
  };
  std::vector<SDL_Rect> areas;
  std::vector<Uint8> differs(static_cast<std::size_t>(a.width));
  // The areas that reach the last row of the band above, and of this band.
  std::vector<std::size_t> above, here;
  for (int band = 0; band < a.height; band += kBandRows) {
    int top = -1, bottom = -1;
    std::fill(differs.begin(), differs.end(), 0);
    for (int y = band; y < std::min(a.height, band + kBandRows); ++y) {
      const Uint8 *p = row(a, y), *q = row(b, y);
      if (std::memcmp(p, q, rowBytes) == 0) continue;
      if (top < 0) top = y;
      bottom = y;
      std::size_t i = 0;
      for (; i + 8 <= rowBytes; i += 8)
        if (word(p + i) != word(q + i)) std::fill(&differs[i / 3], &differs[(i + 7) / 3] + 1, 1);
      for (; i < rowBytes; ++i)
        if (p[i] != q[i]) differs[i / 3] = 1;
    }
    here.clear();
    for (int x = 0; top >= 0 && x < a.width;) {
      if (!differs[static_cast<std::size_t>(x)]) {
        ++x;
        continue;
      }
      const int first = x;
      int last = x;
      for (; x < a.width && x - last <= kGapColumns; ++x)
        if (differs[static_cast<std::size_t>(x)]) last = x;
      const SDL_Rect run{first, top, last - first + 1, bottom - top + 1};
      const auto joined = std::find_if(above.begin(), above.end(), [&](std::size_t i) {
        return areas[i].x == run.x && areas[i].w == run.w && areas[i].y + areas[i].h == top;
      });
      if (joined != above.end()) {
        areas[*joined].h += run.h;
        here.push_back(*joined);
      } else {
        here.push_back(areas.size());
        areas.push_back(run);
      }
    }
    std::swap(above, here);
  }
  return areas;
}

// The pixels a picture shows, kept alive by whoever holds them.
std::shared_ptr<const media::Picture> shownPixels(const PictureRef& p) {
  const media::Picture& shown = media::onScreen(*p);
  if (p->later && p->later->fitted.get() == &shown) return p->later->fitted;
  return p;
}

bool contains(const SDL_Rect& outer, const SDL_Rect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
         inner.y + inner.h <= outer.y + outer.h;
}

// What of `area` lies outside `hole`: up to four bands.
void subtract(const SDL_Rect& area, const SDL_Rect& hole, std::vector<SDL_Rect>& out) {
  SDL_Rect h;
  if (!SDL_IntersectRect(&area, &hole, &h)) return out.push_back(area);
  auto add = [&](int x, int y, int w, int ht) {
    if (w > 0 && ht > 0) out.push_back({x, y, w, ht});
  };
  add(area.x, area.y, area.w, h.y - area.y);
  add(area.x, h.y + h.h, area.w, area.y + area.h - h.y - h.h);
  add(area.x, h.y, h.x - area.x, h.h);
  add(h.x + h.w, h.y, area.x + area.w - h.x - h.w, h.h);
}

// What of the window no picture box covers (a box paints all of its own):
// where the window's colour shows.
std::vector<SDL_Rect> uncovered(const Window& w, const std::vector<Look>& looks,
                                const SDL_Rect& all) {
  std::vector<SDL_Rect> open{all};
  for (std::size_t i = 0; i < looks.size(); ++i)
    if (!w.controls()[i]->container() && dynamic_cast<const PictureBox*>(w.controls()[i]) &&
        looks[i].shown) {
      std::vector<SDL_Rect> left;
      for (const SDL_Rect& r : open) subtract(r, looks[i].at, left);
      open = std::move(left);
    }
  return open;
}

// A window's new pixels made present in one call: first touched one page at
// a time, the X server's shared memory of a reward window at 3840x2160 took
// 8 ms of faults, a quarter more. A kernel older than 5.14 refuses, and
// they come as they are touched.
void populate(SDL_Surface* to) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(to->pixels);
  const std::uintptr_t from = (start + page - 1) / page * page,
                       end = (start + static_cast<std::size_t>(to->pitch) * to->h) / page * page;
  if (page > 0 && end > from)
    static_cast<void>(madvise(reinterpret_cast<void*>(from), end - from, MADV_POPULATE_WRITE));
}

// The areas of the window whose controls changed since the last paint (a
// picture box's change narrowed where `narrowed` knows it), and those in
// `also`, each within the window, none inside another; empty when there are
// none.
std::vector<SDL_Rect> changedAreas(
    const std::vector<Look>& before, const std::vector<Look>& now, const SDL_Rect& all,
    std::vector<SDL_Rect> also, const std::vector<std::optional<std::vector<SDL_Rect>>>& narrowed) {
  std::vector<SDL_Rect> areas = std::move(also);
  auto add = [&](const SDL_Rect& at) {
    SDL_Rect seen;
    if (SDL_IntersectRect(&at, &all, &seen)) areas.push_back(seen);
  };
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (sameLook(before[i], now[i])) continue;
    if (narrowed[i]) {
      for (const SDL_Rect& at : *narrowed[i]) add(at);
      continue;
    }
    if (before[i].shown) add(before[i].at);
    if (now[i].shown) add(now[i].at);
  }
  std::vector<SDL_Rect> kept;
  for (std::size_t i = 0; i < areas.size(); ++i) {
    bool inside = false;
    for (std::size_t j = 0; j < areas.size() && !inside; ++j)
      inside = j != i && contains(areas[j], areas[i]) &&
               (!contains(areas[i], areas[j]) || j < i);  // of two equal areas, keep one
    if (!inside) kept.push_back(areas[i]);
  }
  return kept;
}

}  // namespace

// Drawn straight into the window's own pixels, which X shows as they are: a
// few pictures and labels need no graphics card, nor a second copy of each
// picture in a renderer's format. Once the window is on screen, only the
// areas of the controls that changed are drawn again and sent to X: the frog
// and the letter at each tick, not the whole screen.
void SdlBackend::paint(Window& w) {
  Native* n = find(w);
  if (!n || (n->host ? !n->overlaid : !n->sdl)) return;
  ready(*n);
  SDL_Surface* to = n->host ? n->drawn.get() : SDL_GetWindowSurface(n->sdl);
  if (!to) {
    warn("SDL_GetWindowSurface " + w.name());
    return;
  }
  const SDL_Rect all{0, 0, to->w, to->h};
  std::vector<Look> looks = looksOf(w);
  std::vector<SDL_Rect> changed;
  // The window's pixels hold the last paint unless SDL made them anew (its
  // new pixels carry no mark of ours) or the window has not shown yet.
  const bool kept =
      !n->showAtPaint && to == n->paintedOn && to->userdata == n && looks.size() == n->looks.size();
  // Only a paint of the whole window has drawing to do while pictures are
  // fitted; any other first asks where a new picture differs from the last,
  // which needs it fitted (a thread for each frame of the frog cost more than
  // it saved).
  const std::jthread fitter = kept ? std::jthread() : fitAhead(*n, all);
  // X lost what was shown: it is sent again, as it stands.
  bool sendAll = !kept || n->wholeNext;
  if (kept) {
    // A new colour for the window shows only where no picture box covers it
    // (a box paints all of its own): the reward flashes ten times a second.
    std::vector<SDL_Rect> open;
    if (w.backColor() != n->paintedBack) open = uncovered(w, looks, all);
    std::vector<std::optional<std::vector<SDL_Rect>>> narrowed(looks.size());
    for (std::size_t i = 0; i < looks.size(); ++i)
      if (auto* box = dynamic_cast<const PictureBox*>(w.controls()[i]))
        narrowed[i] = pictureChange(*box, n->looks[i], looks[i]);
      else if (dynamic_cast<const Label*>(w.controls()[i]))
        narrowed[i] = captionChange(n->looks[i], looks[i]);
    changed = changedAreas(n->looks, looks, all, std::move(open), narrowed);
    // Asked to paint with nothing changed: what lay above the window has
    // gone. X says what it lost, and only that is sent again (a reward gone
    // from a 4K screen is a fraction of it); other displays are sent all.
    if (w.backColor() == n->paintedBack && std::ranges::equal(n->looks, looks, sameLook) &&
        (!onX11_ || n->host))
      sendAll = true;
  }
  SDL_SetClipRect(to, nullptr);
  if (!kept) {
    // New pixels: the kernel gives them all at once, not a page at each first touch.
    if (to != n->paintedOn) populate(to);
    for (const SDL_Rect& r : uncovered(w, looks, all)) fill(to, w.backColor(), r.x, r.y, r.w, r.h);
    drawContents(*n, to, nullptr, 0, 0, all);
  } else {
    for (const SDL_Rect& area : changed) {
      SDL_SetClipRect(to, nullptr);
      // A picture box paints all of its box; the window's colour shows elsewhere.
      const auto& controls = w.controls();
      if (std::none_of(controls.begin(), controls.end(), [&](const Control* c) {
            return !c->container() && c->shown() && dynamic_cast<const PictureBox*>(c) &&
                   contains(pixelsOf(*c), area);
          }))
        fill(to, w.backColor(), area.x, area.y, area.w, area.h);
      drawContents(*n, to, nullptr, 0, 0, area);
    }
  }
  if (n->host) {
    showOverlay(*n, changed, sendAll);
  } else {
    drawOverlays(*n, to, changed, !kept);
    if (n->showAtPaint)
      showPainted(*n, to);
    else if (sendAll && SDL_UpdateWindowSurface(n->sdl) != 0)
      warn("SDL_UpdateWindowSurface");
    else if (!sendAll) {
      // What X lost is sent as the window's pixels hold it.
      std::vector<SDL_Rect> sent = changed;
      for (const SDL_Rect& area : n->lost)
        if (SDL_Rect seen; SDL_IntersectRect(&area, &all, &seen)) sent.push_back(seen);
      if (!sent.empty() &&
          SDL_UpdateWindowSurfaceRects(n->sdl, sent.data(), static_cast<int>(sent.size())) != 0)
        warn("SDL_UpdateWindowSurfaceRects");
    }
  }
  n->lost.clear();
  n->wholeNext = false;
  n->paintedOn = to;
  to->userdata = n;
  n->paintedBack = w.backColor();

  // Keep only what the window now shows: what this paint drew, and what it
  // left standing. A text left standing is kept only over a picture box,
  // which draws it again at each frame (the big letter); the others (the
  // title, a few hundred kilobytes at larger sizes) are rendered again on the
  // rare paint that needs them rather than held between letters.
  for (const Look& look : looks) {
    if (!look.shown || !SDL_HasIntersection(&look.at, &all)) continue;
    if (auto it = n->pictures.find(look.picture.get()); it != n->pictures.end())
      it->second.used = true;
  }
  for (const Control* c : w.controls())
    if (auto* label = dynamic_cast<const Label*>(c); label && label->shown() && c->container())
      if (auto it = n->texts.find(textKeyOf(*label)); it != n->texts.end()) it->second.used = true;
  n->looks = std::move(looks);
  std::erase_if(n->pictures, [](const auto& item) { return !item.second.used; });
  std::erase_if(n->texts, [](const auto& item) { return !item.second.used; });
  for (auto& [key, c] : n->pictures) c.used = false;
  for (auto& [key, c] : n->texts) c.used = false;
  closeIdleFonts();
}

// A font's face, shaping tables and glyphs take a hundred kilobytes or more;
// one that no text has asked for in a while (the title's, drawn once) is
// closed, and opened again, in a millisecond, by a paint that needs it. Its
// memory lies amid the heap, so it is handed back to the system explicitly.
void SdlBackend::closeIdleFonts() {
  const std::int64_t now = nowMs();
  const auto closed = std::erase_if(openFonts_, [now](const auto& item) {
    const OpenFont& f = item.second;
    if (!f.font || now - f.usedAt < kFontIdleMs) return false;
    TTF_CloseFont(f.font);
    return true;
  });
  if (closed > 0) malloc_trim(0);
}

std::optional<std::vector<SDL_Rect>> SdlBackend::pictureChange(const PictureBox& box,
                                                               const Look& before,
                                                               const Look& now) {
  if (!before.shown || !now.shown || !before.picture || !now.picture ||
      before.picture == now.picture || screen_.scale != picturesScale_)
    return std::nullopt;
  Look same = now;
  same.picture = before.picture;
  if (!sameLook(before, same)) return std::nullopt;
  const auto from = shownPixels(before.picture), to = shownPixels(now.picture);
  if (from->width != to->width || from->height != to->height || from->width <= 0 ||
      from->height <= 0 ||
      std::min(from->pixels.size(), to->pixels.size()) <
          static_cast<std::size_t>(from->width) * from->height)
    return std::nullopt;
  auto it = std::find_if(differences_.begin(), differences_.end(), [&](const Difference& d) {
    return d.from.lock() == from && d.to.lock() == to;
  });
  if (it == differences_.end()) {
    differences_.push_back({from, to, differing(*from, *to)});
    if (differences_.size() > kDifferencesKept) differences_.pop_front();
    it = differences_.end() - 1;
  }
  // Drawn at the corner inside the box's edge, and clipped to it.
  const int edge =
      box.border() == Border::None ? 0 : screen_.toPixels(toTwips(PictureBox::kSunkenBorderPixels));
  const SDL_Rect inner{now.at.x + edge, now.at.y + edge, now.at.w - 2 * edge, now.at.h - 2 * edge};
  std::vector<SDL_Rect> seen;
  for (const SDL_Rect& in : it->areas) {
    const SDL_Rect area{inner.x + in.x, inner.y + in.y, in.w, in.h};
    if (SDL_Rect part; SDL_IntersectRect(&area, &inner, &part)) seen.push_back(part);
  }
  return seen;
}

// A new caption changes only the pixels of the old text and the new: the
// count of letters eaten is a line across the screen, and most of its text
// stays where it was (at 3840x2160 the line is 470,000 pixels, its text half).
std::optional<std::vector<SDL_Rect>> SdlBackend::captionChange(const Look& before,
                                                               const Look& now) {
  if (!before.shown || !now.shown || before.caption == now.caption) return std::nullopt;
  Look same = now;
  same.caption = before.caption;
  if (!sameLook(before, same)) return std::nullopt;
  const auto from = textArea(before), to = textArea(now);
  if (!from || !to) return std::nullopt;
  std::vector<SDL_Rect> areas;
  for (const SDL_Rect& text : {*from, *to})
    if (SDL_Rect seen; SDL_IntersectRect(&text, &now.at, &seen)) areas.push_back(seen);
  return areas;
}

// Where a label's text stands, as drawLabel puts it (none for no text);
// nothing when that cannot be told: text of several lines, or no font.
std::optional<SDL_Rect> SdlBackend::textArea(const Look& look) {
  if (look.caption.empty()) return SDL_Rect{0, 0, 0, 0};
  if (look.caption.find('\n') != std::string::npos) return std::nullopt;
  TTF_Font* f = font(look.font);
  int width = 0, height = 0;
  if (!f || TTF_SizeUTF8(f, look.caption.c_str(), &width, &height) != 0) return std::nullopt;
  return SDL_Rect{textLeft(look.at, look.align, width), look.at.y + textDrop(look.font, f), width,
                  height};
}

int SdlBackend::textDrop(const Font& f, TTF_Font* font) const {
  const int em = static_cast<int>(std::lround(f.points * screen_.scale * 96.0 / 72.0));
  return std::max(0, em - TTF_FontAscent(font));
}

int SdlBackend::textLeft(const SDL_Rect& box, int align, int width) {
  if (align == static_cast<int>(Align::Center)) return box.x + (box.w - width) / 2;
  if (align == static_cast<int>(Align::Right)) return box.x + box.w - width;
  return box.x;
}

SDL_Rect SdlBackend::overlayPlace(const Native& overlay) const {
  const SDL_Rect place = placeOf(*overlay.window), origin = placeOf(*overlay.host->window);
  return {place.x - origin.x, place.y - origin.y, overlay.drawn->w, overlay.drawn->h};
}

SdlBackend::Native* SdlBackend::overlayAt(const Native& host, Sint32& x, Sint32& y) {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    Native& o = **it;
    if (o.host != &host || !o.overlaid) continue;
    const SDL_Rect at = overlayPlace(o);
    const SDL_Point p{x, y};
    if (!SDL_PointInRect(&p, &at)) continue;
    x -= at.x, y -= at.y;
    return &o;
  }
  return nullptr;
}

void SdlBackend::drawOverlays(const Native& host, SDL_Surface* to, std::vector<SDL_Rect>& changed,
                              bool whole) {
  const SDL_Rect all{0, 0, to->w, to->h};
  for (auto& o : windows_) {
    if (o->host != &host || !o->overlaid) continue;
    const SDL_Rect at = overlayPlace(*o);
    if (!whole && std::none_of(changed.begin(), changed.end(),
                               [&](const SDL_Rect& c) { return SDL_HasIntersection(&c, &at); }))
      continue;
    SDL_SetClipRect(to, nullptr);
    blit(o->drawn.get(), to, at.x, at.y);
    if (SDL_Rect seen; !whole && SDL_IntersectRect(&at, &all, &seen)) changed.push_back(seen);
  }
}

void SdlBackend::showOverlay(Native& overlay, const std::vector<SDL_Rect>& changed, bool whole) {
  SDL_Surface* to = SDL_GetWindowSurface(overlay.host->sdl);
  if (!to) return warn("SDL_GetWindowSurface " + overlay.host->window->name());
  const SDL_Rect at = overlayPlace(overlay), all{0, 0, to->w, to->h};
  std::vector<SDL_Rect> shown;
  SDL_SetClipRect(to, nullptr);
  for (const SDL_Rect& area : whole ? std::vector<SDL_Rect>{{0, 0, at.w, at.h}} : changed) {
    SDL_Rect from = area, onto{at.x + area.x, at.y + area.y, area.w, area.h}, seen;
    if (SDL_BlitSurface(overlay.drawn.get(), &from, to, &onto) != 0) warn("SDL_BlitSurface");
    if (SDL_IntersectRect(&onto, &all, &seen)) shown.push_back(seen);
  }
  if (!shown.empty() && SDL_UpdateWindowSurfaceRects(overlay.host->sdl, shown.data(),
                                                     static_cast<int>(shown.size())) != 0)
    warn("SDL_UpdateWindowSurfaceRects");
}

std::pair<double, double> SdlBackend::originOf(const Control* container) const {
  if (!container) return {0, 0};
  auto [x, y] = originOf(container->container());
  double edge = 0;
  if (auto* box = dynamic_cast<const PictureBox*>(container); box && box->border() != Border::None)
    edge = toTwips(PictureBox::kSunkenBorderPixels);
  return {x + container->left() + edge, y + container->top() + edge};
}

std::vector<Look> SdlBackend::looksOf(const Window& w) const {
  std::vector<Look> looks;
  looks.reserve(w.controls().size());
  for (const Control* c : w.controls()) {
    Look& look = looks.emplace_back();
    look.shown = c->shown();
    if (!look.shown) continue;
    const auto [x, y] = originOf(c->container());
    look.at = pixelsOf(*c, x, y);
    if (auto* box = dynamic_cast<const PictureBox*>(c)) {
      look.picture = box->picture();
      look.back = box->backColor();
      look.border = static_cast<int>(box->border());
    } else if (auto* label = dynamic_cast<const Label*>(c)) {
      look.caption = label->caption();
      look.font = label->font();
      look.fore = label->foreColor();
      look.align = static_cast<int>(label->alignment());
    }
  }
  return looks;
}

SdlBackend::TextKey SdlBackend::textKeyOf(const Label& label) {
  const Font& f = label.font();
  const Rgb c = label.foreColor();
  return {label.caption(), f.name, f.points, f.weight, (c.r << 16) | (c.g << 8) | c.b};
}

SDL_Rect SdlBackend::pixelsOf(const Control& c, double originX, double originY) const {
  return {screen_.toPixels(originX + c.left()), screen_.toPixels(originY + c.top()),
          screen_.toPixels(c.width()), screen_.toPixels(c.height())};
}

// Pictures new to the window are fitted to the screen on a second thread
// while this one fills the window and draws the text; drawing a picture waits
// for its fitting to end. One kept off the window's edge is not fitted here.
std::jthread SdlBackend::fitAhead(Native& n, const SDL_Rect& all) const {
  std::vector<PictureRef> unfitted;
  for (const Control* c : n.window->controls()) {
    auto* box = dynamic_cast<const PictureBox*>(c);
    if (!box || box->container() || !box->shown() || !box->picture() || !box->picture()->later ||
        n.pictures.contains(box->picture().get()))
      continue;
    const SDL_Rect at = pixelsOf(*box);
    if (SDL_HasIntersection(&at, &all)) unfitted.push_back(box->picture());
  }
  if (unfitted.empty()) return {};
  auto fit = [unfitted] {
    try {
      for (const PictureRef& p : unfitted) static_cast<void>(media::onScreen(*p));
    } catch (const std::exception&) {
      // Out of memory: drawing the picture tries again.
    }
  };
  try {
    return std::jthread(fit);
  } catch (const std::system_error&) {
    // No thread to be had: drawing fits each picture in turn.
    return {};
  }
}

// A window's first paint goes on screen with the window itself: X fills it
// with the window's colour, and only what is drawn on that is sent, in the
// same breath, so the window never shows empty and a whole screen of pixels
// need not cross to the X server before the child sees anything.
void SdlBackend::showPainted(Native& n, SDL_Surface* to) {
  n.showAtPaint = false;
  const Rgb back = n.window->backColor();
  if (!x11::showWithoutWaiting(n.sdl, SDL_MapRGB(to->format, back.r, back.g, back.b))) {
    SDL_ShowWindow(n.sdl);
    if (SDL_UpdateWindowSurface(n.sdl) != 0) warn("SDL_UpdateWindowSurface");
    return;
  }
  const SDL_Rect all{0, 0, to->w, to->h};
  std::vector<SDL_Rect> drawn;
  for (const Control* c : n.window->controls()) {
    if (c->container() || !c->shown()) continue;
    const SDL_Rect at = pixelsOf(*c);
    if (SDL_Rect seen; SDL_IntersectRect(&at, &all, &seen)) drawn.push_back(seen);
  }
  n.firstSent = x11::nextRequest(n.sdl);
  if (SDL_UpdateWindowSurfaceRects(n.sdl, drawn.data(), static_cast<int>(drawn.size())) != 0)
    warn("SDL_UpdateWindowSurfaceRects");
}

// Labels first, beneath the picture boxes, each group in creation order.
void SdlBackend::drawContents(Native& n, SDL_Surface* to, const Control* container, double originX,
                              double originY, const SDL_Rect& clip) {
  const auto& controls = n.window->controls();
  for (const Control* c : controls)
    if (c->container() == container && c->shown())
      if (auto* label = dynamic_cast<const Label*>(c))
        drawLabel(n, to, *label, originX, originY, clip);
  for (const Control* c : controls)
    if (c->container() == container && c->shown())
      if (auto* box = dynamic_cast<const PictureBox*>(c))
        drawPictureBox(n, to, *box, originX, originY, clip);
}

void SdlBackend::drawLabel(Native& n, SDL_Surface* to, const Label& label, double originX,
                           double originY, const SDL_Rect& clip) {
  if (label.caption().empty()) return;
  const SDL_Rect box = pixelsOf(label, originX, originY);
  if (!clipTo(to, intersection(box, clip))) return;
  Cached* text = textSurface(n, label);
  if (!text) return;
  blit(text->surface.get(), to, textLeft(box, static_cast<int>(label.alignment()), text->width),
       box.y + text->drop);
}

void SdlBackend::drawPictureBox(Native& n, SDL_Surface* to, const PictureBox& box, double originX,
                                double originY, const SDL_Rect& clip) {
  const SDL_Rect outer = pixelsOf(box, originX, originY);
  if (!clipTo(to, intersection(outer, clip))) return;
  const double edgeTwips =
      box.border() == Border::None ? 0 : toTwips(PictureBox::kSunkenBorderPixels);
  const int edge = screen_.toPixels(edgeTwips);
  const SDL_Rect inner{outer.x + edge, outer.y + edge, outer.w - 2 * edge, outer.h - 2 * edge};
  const SDL_Rect innerClip = intersection(inner, clip);
  const bool inside = innerClip.w > 0 && innerClip.h > 0;
  Cached* pic = inside && box.picture() ? pictureSurface(n, box.picture()) : nullptr;
  // The box's colour shows only where its edge and picture leave room.
  if (!pic || pic->width < inner.w || pic->height < inner.h)
    fill(to, box.backColor(), outer.x, outer.y, outer.w, outer.h);
  if (edge > 0) drawBevel(to, outer, edge, box.border() == Border::Sunken ? kSunken : kRaised);
  if (!inside) return;
  if (pic && clipTo(to, innerClip)) copyPicture(pic->surface.get(), to, inner.x, inner.y);
  drawContents(n, to, &box, originX + box.left() + edgeTwips, originY + box.top() + edgeTwips,
               innerClip);
}

SdlBackend::Cached* SdlBackend::pictureSurface(Native& n, const PictureRef& picture) {
  auto it = n.pictures.find(picture.get());
  if (it == n.pictures.end()) {
    const media::Picture* shown = &media::onScreen(*picture);
    PictureRef refitted;
    // Fitted for the screen the game started on, which the desktop changed.
    if (screen_.scale != picturesScale_ && shown->width > 0 && shown->height > 0) {
      const double ratio = screen_.scale / picturesScale_;
      refitted = std::make_shared<const media::Picture>(
          media::resample(*shown, std::max(1, static_cast<int>(std::lround(shown->width * ratio))),
                          std::max(1, static_cast<int>(std::lround(shown->height * ratio)))));
      shown = refitted.get();
    }
    const media::Picture& p = *shown;
    if (p.width <= 0 || p.height <= 0 ||
        p.pixels.size() < static_cast<std::size_t>(p.width) * p.height)
      return nullptr;
    // The picture's pixels, lent while the picture is kept alive here.
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<base::Rgb*>(p.pixels.data()),
                                                    p.width, p.height, 24, p.width * 3,
                                                    SDL_PIXELFORMAT_RGB24));
    if (!s) {
      warn("SDL_CreateRGBSurfaceWithFormatFrom");
      return nullptr;
    }
    it = n.pictures
             .emplace(picture.get(),
                      Cached{std::move(s), p.width, p.height, false, picture, 0, refitted})
             .first;
  }
  it->second.used = true;
  return &it->second;
}

SdlBackend::Cached* SdlBackend::textSurface(Native& n, const Label& label) {
  const Font& f = label.font();
  const Rgb c = label.foreColor();
  const TextKey key = textKeyOf(label);
  auto it = n.texts.find(key);
  if (it == n.texts.end()) {
    TTF_Font* font = this->font(f);
    if (!font) return nullptr;
    // A caption of several lines breaks at its line feeds and nowhere else.
    const SDL_Color colour{c.r, c.g, c.b, 255};
    const std::string& text = label.caption();
    SurfacePtr s(text.find('\n') == std::string::npos
                     ? TTF_RenderUTF8_Blended(font, text.c_str(), colour)
                     : TTF_RenderUTF8_Blended_Wrapped(font, text.c_str(), colour, 0));
    if (!s) {
      std::fprintf(stderr, "yumble: TTF_RenderUTF8_Blended: %s\n", TTF_GetError());
      return nullptr;
    }
    // Antialiased edges over whatever lies beneath.
    if (SDL_SetSurfaceBlendMode(s.get(), SDL_BLENDMODE_BLEND) != 0) warn("SDL_SetSurfaceBlendMode");
    const int width = s->w, height = s->h;
    it = n.texts
             .emplace(key, Cached{std::move(s), width, height, false, nullptr, textDrop(f, font),
                                  nullptr})
             .first;
  }
  it->second.used = true;
  return &it->second;
}

TTF_Font* SdlBackend::font(const Font& f) {
  // Sizes are in points at 96 dots per inch, as the designs were drawn, enlarged
  // with everything else on a larger screen.
  const int points = std::max(1, static_cast<int>(std::lround(f.points * screen_.scale)));
  if (!std::exchange(fontsChecked_, true) && !fonts_->hasProgramRules())
    std::fputs("yumble: the font rules did not load; using the system's fonts\n", stderr);
  for (const std::string& name : {f.name, std::string("sans-serif")}) {
    const auto file = fonts_->find(name, f.weight);
    if (!file) continue;
    const auto key = std::make_tuple(file->path, file->index, points);
    auto it = openFonts_.find(key);
    if (it == openFonts_.end()) {
      TTF_Font* opened = TTF_OpenFontIndexDPI(file->path.c_str(), points, file->index, 96, 96);
      if (!opened)
        std::fprintf(stderr, "yumble: cannot open font %s: %s\n", file->path.c_str(),
                     TTF_GetError());
      it = openFonts_.emplace(key, OpenFont{opened, 0}).first;
    }
    it->second.usedAt = nowMs();
    if (it->second.font) return it->second.font;
  }
  return nullptr;
}

}  // namespace sdl