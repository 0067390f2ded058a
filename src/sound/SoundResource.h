// What the sound layer does for a sound resource: making it playable (preparation, first use,
// restore after a discard), letting it go, loading it from a file, and the game's sounds at the
// start and end of a run.
#pragma once

#include <string>

#include "resources/GameResources.h"
#include "resources/Sound.h"

namespace kestro {

// Makes the sound playable: kinds 0-2 from the bytes in memory (kind 3 when the device cannot
// take them), kind 3 from a temporary file the bytes are written to; then the stored effects,
// volume and pan. A sound that cannot be made playable keeps the handle -1 and stays silent.
void SoundRestore(CSound& sound);
// Restore when the sound is preloaded.
void SoundPrepare(CSound& sound);
// Lets the playable sound go; the handle becomes -1.
void SoundDiscard(CSound& sound);
// The handle, made on first use.
int GetSoundId(CSound& sound);
// Reads the whole file as the sound's data with the given kind and preloading; false when the
// file does not exist.
bool SoundLoadFromFile(CSound& sound, const std::string& fname, int kind, bool preload);

// The run's sounds: the layer started for the game's sound slots, every sound prepared; and at
// the end every sound silenced and the layer shut down.
void PrepareGameSounds();
void ShutdownGameSounds();

}  // namespace kestro
