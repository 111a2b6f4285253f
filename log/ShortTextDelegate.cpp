#include "ShortTextDelegate.h"

QString ShortTextDelegate::displayText(const QVariant& value, const QLocale& locale) const
{
    if (value.typeId() != QMetaType::QString)
        return QStyledItemDelegate::displayText(value, locale);
    const QString text = value.toString();
    if (text.size() <= MaxShown)
        return QStyledItemDelegate::displayText(value, locale);
    // Only the beginning is looked at: one line of it, cut at a whole character.
    QString shown = text.left(MaxShown);
    if (shown.back().isHighSurrogate())
        shown.chop(1);
    return QStyledItemDelegate::displayText(shown, locale) + QChar(0x2026);
}
