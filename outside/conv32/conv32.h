#pragma once
// The speech decoder that the installer loads by name (libconv32.so) when a
// packet's recordings are compressed.
//
// Kind bytes (the packet trailer's audio byte):
//   'F' (0x46)  FLAC
//   'V' (0x56)  Ogg Vorbis
//   'O' (0x4F)  Ogg Opus
// 0 and '+' mean PCM WAV already: the installer copies those and never
// loads this library. Every other kind is refused.
//
// Output modes:
//   3  PCM WAV, 16-bit samples, the source's rate and channel count
//
// The source's own content decides whether it is of the kind named: a FLAC
// file handed over as Ogg Vorbis is refused, so a packet that lies about
// its speech is not installed with noise.

#ifdef __cplusplus
extern "C" {
#endif

enum {
  CONV32_KIND_FLAC = 'F',
  CONV32_KIND_VORBIS = 'V',
  CONV32_KIND_OPUS = 'O',
  CONV32_WAV_PCM16 = 3,
};

// Decodes `source` (a file of kind `kind`) into the WAV file `destination`
// in output mode `mode`. Non-zero on success; 0 when the kind or mode is
// unknown, the source cannot be read or is not of that kind, or the
// destination cannot be written (nothing is left at `destination` then).
int DECOMP_AudioFiles(const char* source, int kind, const char* destination, int mode);

#ifdef __cplusplus
}
#endif
