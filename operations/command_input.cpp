// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/command_input.h"

#include "record/errors.h"

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
        throw record::UserError(("'" + text + "' is not a valid integer value").toStdString());
    }
    return value;
}

int32_t ParseSilenceBlocks(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const float seconds = float(locale.toDouble(text, &ok));
    if (!ok || !std::isfinite(seconds)) {
        throw record::UserError(
            ("'" + text + "' is not a valid floating point value").toStdString());
    }
    // Widened before the multiplication so that 0.35, held as 0.3499999940, gives 3 blocks.
    const double blocks = std::nearbyint(double(seconds) * 10.0);
    if (seconds < 0 || blocks > MaxSilenceBlocks) {
        throw record::UserError("Enter a length of silence from 0 to 36000 seconds.");
    }
    return int32_t(blocks);
}

} // namespace operations
