// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

// The questions the editor asks before Amplify and Insert Silence, and how their answers are
// read. The editor shows the boxes; a cancelled box answers with its default text.
namespace operations {

inline const QString AmplifyCaption = QStringLiteral("Amplify");
inline const QString AmplifyDefault = QStringLiteral("100");
// Three lines separated by carriage returns, the last ending with the clipping level.
QString AmplifyPrompt(int clippingLevel);
// The entered percent. Throws base::UserError "'<text>' is not a valid integer value" for a
// text that is not a whole number; any whole number is accepted.
int ParseAmplifyPercent(const QString& text);

inline const QString SilenceCaption = QStringLiteral("Insert Silence");
inline const QString SilencePrompt = QStringLiteral("Insert Silence in seconds:");
inline const QString SilenceDefault = QStringLiteral("0.5");
// Longest silence accepted: ten hours, the longest recording.
constexpr int32_t MaxSilenceBlocks = 360000;
// The number of blocks for an answer in seconds, read with a point or the default locale's
// decimal separator (group separators refused), held in single precision and rounded to tenths
// (halves to even). An empty answer gives 0. Throws base::UserError "'<text>' is not a valid
// floating point value" for a text that is not a number (also infinity and not-a-number), and
// rejects a negative length or one beyond MaxSilenceBlocks.
int32_t ParseSilenceBlocks(const QString& text);

} // namespace operations
