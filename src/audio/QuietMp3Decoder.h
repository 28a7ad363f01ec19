// The MP3 decoder (libmpg123, reached through SDL_mixer) prints its own complaints about a
// track to stderr; every decoder handle is made quiet here instead.
#pragma once

// True when the decoder handles SDL_mixer makes come through this quieting wrapper.
bool mp3DecoderIsQuiet();
