#pragma once
// The player's own wave resources for PlaySound(SND_RESOURCE): registered
// with plat::audio when the player's audio library is loaded.
//   "WAVE_TADA"  the jingle of an opened book: a short rising chime.

#include <string>

namespace orv::audio {

inline constexpr const char* kTadaResource = "WAVE_TADA";

// The chime as a canonical WAV file: 22050 Hz, 16 bits, mono, under a
// second.
std::string TadaWave();

// Registers every wave resource above; answers true.
bool RegisterPlayerSounds();

}  // namespace orv::audio
