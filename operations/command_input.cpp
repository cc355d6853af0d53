// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/command_input.h"

#include "base/errors.h"

#include <QLocale>
#include <cmath>

namespace operations {

QString AmplifyPrompt(int clippingLevel) {
    return QStringLiteral("Input Amplification Factor (1-1000%)\rOriginal Level - 100%\r"
                          "Sound Clipping Level - ") +
           QString::number(clippingLevel);
}

int ParseAmplifyPercent(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) {
        throw base::UserError(("'" + text + "' is not a valid integer value").toStdString());
    }
    return value;
}

namespace {

// A decimal number with either a point or the user's own decimal separator, so the offered
// "0.5" reads in every locale. Group separators are refused: in a locale that groups with a
// point, "1.000" is one, not a thousand, and "1.000,5" is nothing.
double ReadDecimal(const QString& text, bool* ok) {
    for (QLocale locale : {QLocale::c(), QLocale()}) {
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        const double value = locale.toDouble(text, ok);
        if (*ok) {
            return value;
        }
    }
    return 0;
}

} // namespace

int32_t ParseSilenceBlocks(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    bool ok = false;
    const float seconds = float(ReadDecimal(text, &ok));
    if (!ok || !std::isfinite(seconds)) {
        throw base::UserError(("'" + text + "' is not a valid floating point value").toStdString());
    }
    // Widened before the multiplication so that 0.35, held as 0.3499999940, gives 3 blocks.
    const double blocks = std::nearbyint(double(seconds) * 10.0);
    if (seconds < 0 || blocks > MaxSilenceBlocks) {
        throw base::UserError("Enter a length of silence from 0 to 36000 seconds.");
    }
    return int32_t(blocks);
}

} // namespace operations
