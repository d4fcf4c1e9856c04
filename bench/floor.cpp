// The floor for the game's start-up and memory: the least an SDL program can
// do to show the game's first screen. It opens a window over the whole first
// monitor and blits one picture (a bitmap of that screen) through the window
// surface, with SDL's slow defaults switched off as the game switches them
// off. Once that is on screen it opens a font and renders a line with it, and
// plays a sound on the card and lets the card go, so that its resident memory
// holds what a game with text and sound cannot do without. It runs until it
// is asked to quit (SIGTERM).
// Usage: floor PICTURE.bmp FONT_FILE SOUND.wav
#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: floor PICTURE.bmp FONT_FILE SOUND.wav\n");
    return 2;
  }
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  setenv("XCOMPOSEFILE", "/dev/null", 0);
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Rect b;
  SDL_GetDisplayBounds(0, &b);
  SDL_Window* window = SDL_CreateWindow("floor", b.x, b.y, b.w, b.h, SDL_WINDOW_BORDERLESS);
  SDL_Surface* to = window ? SDL_GetWindowSurface(window) : nullptr;
  SDL_Surface* picture = SDL_LoadBMP(argv[1]);
  if (!to || !picture) {
    std::fprintf(stderr, "floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_BlitSurface(picture, nullptr, to, nullptr);
  SDL_UpdateWindowSurface(window);
  SDL_FreeSurface(picture);

  if (TTF_Init() == 0)
    if (TTF_Font* font = TTF_OpenFontDPI(argv[2], 28, 96, 96))
      SDL_FreeSurface(
          TTF_RenderUTF8_Blended(font, "You have yumbled 1 letters!", {192, 0, 192, 255}));

  SDL_AudioSpec spec;
  Uint8* sound = nullptr;
  Uint32 length = 0;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && SDL_LoadWAV(argv[3], &spec, &sound, &length)) {
    if (SDL_AudioDeviceID card = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0)) {
      SDL_QueueAudio(card, sound, length);
      SDL_PauseAudioDevice(card, 0);
      while (SDL_GetQueuedAudioSize(card) > 0) SDL_Delay(20);
      SDL_CloseAudioDevice(card);
    }
    SDL_FreeWAV(sound);
  }

  SDL_Event e;
  while (SDL_WaitEvent(&e))
    if (e.type == SDL_QUIT) break;
  SDL_Quit();
  return 0;
}
