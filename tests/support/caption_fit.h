// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStringList>
#include <QWidget>

namespace testsupport {

// Controls under `root` whose caption needs more width than the fixed layout gives them, as
// "name: needs N px, has M px". Only controls with text are judged: buttons and check boxes by
// their size hint, labels by theirs, drop-down lists by the widest item.
inline QStringList CaptionsThatDoNotFit(const QWidget* root) {
    QStringList out;
    auto judge = [&](const QWidget* w, int needed) {
        if (needed > w->width()) {
            out << QString("%1: needs %2 px, has %3 px")
                       .arg(w->objectName())
                       .arg(needed)
                       .arg(w->width());
        }
    };
    for (const QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        if (b->text().isEmpty()) {
            continue;
        }
        if (qobject_cast<const QPushButton*>(b)) {
            // A push button's size hint is at least 80 px whatever its caption, so measure what
            // the caption needs: text, icon and spacing, button margins and frame.
            const QStyle* style = b->style();
            int needed = b->fontMetrics().horizontalAdvance(b->text());
            if (!b->icon().isNull()) {
                needed += b->iconSize().width() + 4;
            }
            needed += 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                      2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
            judge(b, needed);
        } else {
            judge(b, b->sizeHint().width());
        }
    }
    for (const QLabel* l : root->findChildren<QLabel*>()) {
        if (!l->text().isEmpty() && l->pixmap().isNull()) {
            judge(l, l->sizeHint().width());
        }
    }
    for (const QComboBox* c : root->findChildren<QComboBox*>()) {
        judge(c, c->sizeHint().width());
    }
    return out;
}

} // namespace testsupport
