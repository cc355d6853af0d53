// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fade In, Fade Out, Amplify and Normalize. Each reads the selected blocks through the edit
// list, appends the processed blocks to the edit file with their peaks and makes a level that
// plays them in place of the selection; the length of the sound and the selection stay. Results
// are rounded to nearest (halves to even) and limited to -32768..32767, so an amplification past
// full scale clips instead of jumping to the opposite sign. Nothing selected, or another operation running: nothing
// happens. A failing append throws record::StreamWriteError and publishes no level.
namespace operations {

// Linear fades over the whole selection, one gain step per frame: a fade in gives the first
// frame one step and the last frame 1; a fade out gives the first 1 - step and the last about 0.
void FadeIn();
void FadeOut();
// Multiplies by percent / 100; 100 does nothing.
void Amplify(int percent);
// Brings the largest magnitude of the selection to 32767, taken from the block peaks.
void Normalize();

// 32767 / the largest magnitude in the selection's block peaks (1 for a selection reaching
// -32768, 32767 for silence); also kept as state.NormalizeFactor. Reads no sound.
float SelectionNormalizeFactor();
// The amplification in percent that brings the selection to full scale, for the Amplify prompt.
int ClippingLevel();

} // namespace operations
