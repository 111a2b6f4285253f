#include "Mnemonic.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeySequence>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionButton>

namespace {

constexpr const char* kLetterProperty = "kalmoraMnemonic";

// Draws a button's caption with its mnemonic letter underlined; everything else as the
// application's style does.
class MnemonicStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const QVariant letter = widget ? widget->property(kLetterProperty) : QVariant();
        const bool label
            = element == CE_PushButtonLabel || element == CE_RadioButtonLabel || element == CE_CheckBoxLabel;
        if (label && letter.isValid()) {
            if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
                QStyleOptionButton copy(*button);
                copy.text = MnemonicCaption(button->text, letter.toChar());
                QProxyStyle::drawControl(element, &copy, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        // Shown at all times, as the menu bar's are.
        if (hint == SH_UnderlineShortcut)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* SharedStyle()
{
    // One style for all buttons, made when first needed (after the application's style).
    static QPointer<QStyle> style;
    if (!style) {
        style = new MnemonicStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace

QString MnemonicCaption(const QString& caption, QChar letter)
{
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const qsizetype at = text.indexOf(letter, 0, Qt::CaseInsensitive);
    if (at >= 0)
        text.insert(at, QLatin1Char('&'));
    return text;
}

void SetMnemonic(QAbstractButton* button, QChar letter)
{
    const QKeySequence sequence(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(letter.toUpper().unicode())));
    button->setShortcut(sequence);
    if (button->toolTip().isEmpty())
        button->setToolTip(sequence.toString(QKeySequence::NativeText));
    button->setProperty(kLetterProperty, letter);
    button->setStyle(SharedStyle());
}
