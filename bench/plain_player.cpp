// A plain SDL player to hold the game's sound beside: one device kept open
// with a 1,024-frame buffer, and the same sound queued at each line read from
// standard input, so that an underrun figure and the delay to the sink have a
// floor to be compared with. Each play's time is printed as it is handed over.
// Usage: plain_player FILE.wav < TRIGGERS
#include <SDL.h>

#include <chrono>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2 || SDL_Init(SDL_INIT_AUDIO) != 0) {
    std::cerr << "usage: plain_player FILE.wav < TRIGGERS (" << SDL_GetError() << ")\n";
    return 2;
  }
  SDL_AudioSpec want{}, file{};
  want.freq = 44100;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV(argv[1], &file, &data, &length)) return std::cerr << SDL_GetError() << "\n", 1;
  SDL_AudioCVT cvt;
  SDL_BuildAudioCVT(&cvt, file.format, file.channels, file.freq, want.format, want.channels,
                    want.freq);
  cvt.len = static_cast<int>(length);
  cvt.buf = static_cast<Uint8*>(SDL_malloc(length * static_cast<Uint32>(cvt.len_mult)));
  SDL_memcpy(cvt.buf, data, length);
  SDL_ConvertAudio(&cvt);
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (!device) return std::cerr << SDL_GetError() << "\n", 1;
  SDL_PauseAudioDevice(device, 0);
  for (std::string line; std::getline(std::cin, line);) {
    // When the sound is handed over, on the clock of the sink's recorder.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::cout << std::chrono::duration<double, std::milli>(now).count() << " play" << std::endl;
    SDL_QueueAudio(device, cvt.buf, static_cast<Uint32>(cvt.len_cvt));
  }
  SDL_CloseAudioDevice(device);
  SDL_Quit();
  return 0;
}
