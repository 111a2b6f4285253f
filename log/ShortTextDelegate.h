#pragma once

#include <QStyledItemDelegate>

// Shows a field of the list at most MaxShown characters long, with "…" where it is cut. A hand
// edit or another program can store a field of megabytes; laying that out took seconds per
// repaint and kept the main window from appearing. The entry itself keeps its whole text.
class ShortTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int MaxShown = 200;

    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override;
};
