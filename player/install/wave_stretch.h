#pragma once
// The slower and faster renderings of a recorded Echomark: the speech is
// stretched in time without changing its pitch (SoundTouch), so that a
// learner hears the same voice at another pace.

#include <string>
#include <string_view>
#include <system_error>

namespace orv::install {

// Stretches the canonical or any readable PCM WAV file held in `wav` so that
// it lasts `factor` times as long (0.8: faster, 1.2: slower) and writes a
// canonical WAV of the same format to `out`. Other chunks of the source (a
// segment table among them) are not carried over: their byte positions
// would no longer fit. 8- and 16-bit PCM, one or two channels;
// std::errc::not_supported for other sample sizes, invalid_argument for a
// factor outside (0.25, 4) or a file that is not a readable WAV.
std::error_code stretchWave(std::string_view wav, double factor, std::string& out);

// The name of the sample format of the WAV file held in `wav` when it is one
// the player does not play ("24-bit PCM", "32-bit PCM", "32-bit float"):
// linear PCM of another size than 8 or 16 bits, or floating-point samples,
// plain or in the extensible layout. Empty for 8- and 16-bit PCM and for
// anything else (no readable "fmt " chunk, a compressed format), which the
// strict WAV reader judges.
std::string unsupportedSampleFormat(std::string_view wav);

}  // namespace orv::install
