// SDL_mixer makes its MP3 decoder handles with mpg123_new and never asks them to be quiet. The
// program defines mpg123_new itself, so the dynamic linker binds SDL_mixer's calls here: the real
// one is called and its handle gets MPG123_QUIET. Damaged tracks are named by our own one line.
#include "audio/QuietMp3Decoder.h"

#include <dlfcn.h>
#include <mpg123.h>

namespace {
using NewHandle = mpg123_handle* (*)(const char*, int*);
using SetParam = int (*)(mpg123_handle*, enum mpg123_parms, long, double);
}  // namespace

extern "C" mpg123_handle* mpg123_new(const char* decoder, int* error) {
  static const auto realNew = reinterpret_cast<NewHandle>(dlsym(RTLD_NEXT, "mpg123_new"));
  static const auto setParam = reinterpret_cast<SetParam>(dlsym(RTLD_NEXT, "mpg123_param"));
  if (!realNew) {
    if (error) *error = MPG123_ERR;
    return nullptr;
  }
  mpg123_handle* handle = realNew(decoder, error);
  if (handle && setParam) setParam(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  return handle;
}

bool mp3DecoderIsQuiet() {
  return dlsym(RTLD_DEFAULT, "mpg123_new") == reinterpret_cast<void*>(&mpg123_new);
}
