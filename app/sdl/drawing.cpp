#include "app/sdl/backend.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

#include "app/sdl/log.h"
#include "media/picture_scale.h"

namespace sdl {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kShadow{128, 128, 128};
constexpr Rgb kLight{192, 192, 192};

void setColour(SDL_Renderer* r, Rgb c) {
  if (SDL_SetRenderDrawColor(r, c.r, c.g, c.b, 255) != 0) warn("SDL_SetRenderDrawColor");
}

void fill(SDL_Renderer* r, Rgb c, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  setColour(r, c);
  const SDL_Rect rect{x, y, w, h};
  if (SDL_RenderFillRect(r, &rect) != 0) warn("SDL_RenderFillRect");
}

// False when nothing of the area can show.
bool clipTo(SDL_Renderer* r, const SDL_Rect& clip) {
  if (clip.w <= 0 || clip.h <= 0) return false;
  if (SDL_RenderSetClipRect(r, &clip) != 0) {
    warn("SDL_RenderSetClipRect");
    return false;
  }
  return true;
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

void drawBevel(SDL_Renderer* r, const SDL_Rect& b, int edge, const Bevel& v) {
  const int o = std::max(1, edge / 2), i = std::max(1, edge - o);
  fill(r, v.outerTopLeft, b.x, b.y, b.w - o, o);
  fill(r, v.outerTopLeft, b.x, b.y, o, b.h - o);
  fill(r, v.outerBottomRight, b.x, b.y + b.h - o, b.w, o);
  fill(r, v.outerBottomRight, b.x + b.w - o, b.y, o, b.h);
  fill(r, v.innerTopLeft, b.x + o, b.y + o, b.w - 2 * o - i, i);
  fill(r, v.innerTopLeft, b.x + o, b.y + o, i, b.h - 2 * o - i);
  fill(r, v.innerBottomRight, b.x + o, b.y + b.h - o - i, b.w - 2 * o, i);
  fill(r, v.innerBottomRight, b.x + b.w - o - i, b.y + o, i, b.h - 2 * o);
}

}  // namespace

void SdlBackend::forgetTextures() {
  for (auto& n : windows_) {
    n->pictures.clear();
    n->texts.clear();
  }
}
void SdlBackend::paint(Window& w) {
  Native* n = find(w);
  if (!n || !renderer(*n)) return;
  SDL_Renderer* r = n->renderer;
  int width = 0, height = 0;
  if (SDL_GetRendererOutputSize(r, &width, &height) != 0) {
    warn("SDL_GetRendererOutputSize");
    return;
  }
  if (SDL_RenderSetClipRect(r, nullptr) != 0) warn("SDL_RenderSetClipRect");
  setColour(r, w.backColor());
  if (SDL_RenderClear(r) != 0) warn("SDL_RenderClear");
  drawContents(*n, nullptr, 0, 0, SDL_Rect{0, 0, width, height});
  SDL_RenderPresent(r);

  // Keep only what this picture of the window used.
  std::erase_if(n->pictures, [](const auto& item) { return !item.second.used; });
  std::erase_if(n->texts, [](const auto& item) { return !item.second.used; });
  for (auto& [key, c] : n->pictures) c.used = false;
  for (auto& [key, c] : n->texts) c.used = false;
}

// Labels first, beneath the picture boxes, each group in creation order.
void SdlBackend::drawContents(Native& n, const Control* container, double originX, double originY,
                              const SDL_Rect& clip) {
  const auto& controls = n.window->controls();
  for (const Control* c : controls)
    if (c->container() == container && c->shown())
      if (auto* label = dynamic_cast<const Label*>(c)) drawLabel(n, *label, originX, originY, clip);
  for (const Control* c : controls)
    if (c->container() == container && c->shown())
      if (auto* box = dynamic_cast<const PictureBox*>(c))
        drawPictureBox(n, *box, originX, originY, clip);
}

void SdlBackend::drawLabel(Native& n, const Label& label, double originX, double originY,
                           const SDL_Rect& clip) {
  if (label.caption().empty()) return;
  const SDL_Rect box{screen_.toPixels(originX + label.left()),
                     screen_.toPixels(originY + label.top()), screen_.toPixels(label.width()),
                     screen_.toPixels(label.height())};
  if (!clipTo(n.renderer, intersection(box, clip))) return;
  Cached* text = textTexture(n, label);
  if (!text) return;
  int x = box.x;
  if (label.alignment() == Align::Center) x += (box.w - text->width) / 2;
  if (label.alignment() == Align::Right) x += box.w - text->width;
  const SDL_Rect to{x, box.y + text->drop, text->width, text->height};
  if (SDL_RenderCopy(n.renderer, text->texture.get(), nullptr, &to) != 0) warn("SDL_RenderCopy");
}

void SdlBackend::drawPictureBox(Native& n, const PictureBox& box, double originX, double originY,
                                const SDL_Rect& clip) {
  SDL_Renderer* r = n.renderer;
  const SDL_Rect outer{screen_.toPixels(originX + box.left()),
                       screen_.toPixels(originY + box.top()), screen_.toPixels(box.width()),
                       screen_.toPixels(box.height())};
  if (!clipTo(r, intersection(outer, clip))) return;
  fill(r, box.backColor(), outer.x, outer.y, outer.w, outer.h);
  const double edgeTwips =
      box.border() == Border::None ? 0 : toTwips(PictureBox::kSunkenBorderPixels);
  const int edge = screen_.toPixels(edgeTwips);
  if (edge > 0) drawBevel(r, outer, edge, box.border() == Border::Sunken ? kSunken : kRaised);
  const SDL_Rect inner{outer.x + edge, outer.y + edge, outer.w - 2 * edge, outer.h - 2 * edge};
  const SDL_Rect innerClip = intersection(inner, clip);
  if (innerClip.w <= 0 || innerClip.h <= 0) return;
  if (box.picture() && clipTo(r, innerClip)) {
    if (Cached* pic = pictureTexture(n, box.picture())) {
      const SDL_Rect to{inner.x, inner.y, pic->width, pic->height};
      if (SDL_RenderCopy(r, pic->texture.get(), nullptr, &to) != 0) warn("SDL_RenderCopy");
    }
  }
  drawContents(n, &box, originX + box.left() + edgeTwips, originY + box.top() + edgeTwips,
               innerClip);
}

SdlBackend::Cached* SdlBackend::pictureTexture(Native& n, const PictureRef& picture) {
  auto it = n.pictures.find(picture.get());
  if (it == n.pictures.end()) {
    const media::Picture& p = media::onScreen(*picture);
    if (p.width <= 0 || p.height <= 0 ||
        p.pixels.size() < static_cast<std::size_t>(p.width) * p.height)
      return nullptr;
    SDL_Surface* s =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<base::Rgb*>(p.pixels.data()), p.width,
                                           p.height, 24, p.width * 3, SDL_PIXELFORMAT_RGB24);
    if (!s) {
      warn("SDL_CreateRGBSurfaceWithFormatFrom");
      return nullptr;
    }
    TexturePtr texture(SDL_CreateTextureFromSurface(n.renderer, s));
    SDL_FreeSurface(s);
    if (!texture) {
      warn("SDL_CreateTextureFromSurface");
      return nullptr;
    }
    it = n.pictures
             .emplace(picture.get(), Cached{std::move(texture), p.width, p.height, false, picture})
             .first;
  }
  it->second.used = true;
  return &it->second;
}

SdlBackend::Cached* SdlBackend::textTexture(Native& n, const Label& label) {
  const Font& f = label.font();
  const Rgb c = label.foreColor();
  TextKey key{label.caption(), f.name, f.points, f.weight, (c.r << 16) | (c.g << 8) | c.b};
  auto it = n.texts.find(key);
  if (it == n.texts.end()) {
    TTF_Font* font = this->font(f);
    if (!font) return nullptr;
    // A caption of several lines breaks at its line feeds and nowhere else.
    const SDL_Color colour{c.r, c.g, c.b, 255};
    const std::string& text = label.caption();
    SDL_Surface* s = text.find('\n') == std::string::npos
                         ? TTF_RenderUTF8_Blended(font, text.c_str(), colour)
                         : TTF_RenderUTF8_Blended_Wrapped(font, text.c_str(), colour, 0);
    if (!s) {
      std::cerr << "yumble: TTF_RenderUTF8_Blended: " << TTF_GetError() << "\n";
      return nullptr;
    }
    TexturePtr texture(SDL_CreateTextureFromSurface(n.renderer, s));
    const int width = s->w, height = s->h;
    SDL_FreeSurface(s);
    if (!texture) {
      warn("SDL_CreateTextureFromSurface");
      return nullptr;
    }
    // The designs were laid out with fonts whose ascent is a full em, so a
    // capital stands well below the label's top. The free look-alikes of some
    // have an ascent no taller than their capitals; lowering their text to a
    // one-em baseline keeps the big letter level with the frog's mouth.
    const int em = static_cast<int>(std::lround(f.points * screen_.scale * 96.0 / 72.0));
    const int drop = std::max(0, em - TTF_FontAscent(font));
    it =
        n.texts.emplace(key, Cached{std::move(texture), width, height, false, nullptr, drop}).first;
  }
  it->second.used = true;
  return &it->second;
}

TTF_Font* SdlBackend::font(const Font& f) {
  // Sizes are in points at 96 dots per inch, as the designs were drawn, enlarged
  // with everything else on a larger screen.
  const int points = std::max(1, static_cast<int>(std::lround(f.points * screen_.scale)));
  if (!std::exchange(fontsChecked_, true) && !fonts_->hasProgramRules())
    std::cerr << "yumble: the font rules did not load; using the system's fonts\n";
  for (const std::string& name : {f.name, std::string("sans-serif")}) {
    const auto file = fonts_->find(name, f.weight);
    if (!file) continue;
    const auto key = std::make_tuple(file->path, file->index, points);
    auto it = openFonts_.find(key);
    if (it == openFonts_.end()) {
      TTF_Font* opened = TTF_OpenFontIndexDPI(file->path.c_str(), points, file->index, 96, 96);
      if (!opened)
        std::cerr << "yumble: cannot open font " << file->path << ": " << TTF_GetError() << "\n";
      it = openFonts_.emplace(key, opened).first;
    }
    if (it->second) return it->second;
  }
  return nullptr;
}

}  // namespace sdl