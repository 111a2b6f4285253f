#include "EntryDateEdit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

EntryDateEdit::EntryDateEdit(QWidget* parent)
    : QDateEdit(parent)
{
    // A half-typed date is not a value yet; it becomes one when the typing ends.
    setKeyboardTracking(false);
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate& day) {
        if (!m_typing && day != m_rejectedOn)
            m_rejected.clear();
    });
}

QDate EntryDateEdit::ReadTypedDate(const QString& text, const QDate& current)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2})(?:[^\\d\\s]\\s*(\\d{1,2})(?:[^\\d\\s]\\s*(\\d{1,4}))?)?[^\\d\\s]?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QDate();
    const int month = match.captured(1).toInt();
    const int day = match.captured(2).isEmpty() ? current.day() : match.captured(2).toInt();
    int year = current.year();
    const QString yearText = match.captured(3);
    if (!yearText.isEmpty()) {
        year = yearText.toInt();
        if (yearText.size() <= 2)
            year += year < 30 ? 2000 : 1900;
        else if (yearText.size() == 3)
            return QDate();
    }
    return QDate(year, month, day);
}

void EntryDateEdit::startTyping()
{
    m_typing = true;
    m_typed.clear();
}

void EntryDateEdit::showDate(const QDate& day)
{
    // The field keeps a parse of what it showed; setting another date first makes it drop
    // that and show `day` in its own format, whatever was typed over it.
    const QDate before = date();
    {
        const QSignalBlocker quiet(this);
        setDate(day == maximumDate() ? day.addDays(-1) : day.addDays(1));
    }
    if (day == before) {
        const QSignalBlocker quiet(this);
        setDate(day);
    } else {
        setDate(day);
    }
}

bool EntryDateEdit::finishTyping()
{
    m_typing = false;
    const QString typed = m_typed;
    m_typed.clear();
    const QDate result = typed.isEmpty() ? date() : ReadTypedDate(typed, date());
    if (result.isValid() && result >= minimumDate() && result <= maximumDate()) {
        showDate(result);
        m_rejected.clear();
        return true;
    }
    showDate(date());
    m_rejected = typed;
    m_rejectedOn = date();
    return false;
}

void EntryDateEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        startTyping();
        lineEdit()->selectAll();
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool plainChar = text.size() == 1 && text.at(0).isPrint()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!m_typing && plainChar && text.at(0).isDigit() && currentSectionIndex() == 0)
        startTyping();
    if (m_typing) {
        if (plainChar) {
            m_typed += text;
            lineEdit()->setText(m_typed);
            // A four-digit year completes the date.
            static const QRegularExpression complete(QStringLiteral("^\\d{1,2}\\D\\d{1,2}\\D\\d{4}$"));
            if (complete.match(m_typed).hasMatch())
                finishTyping();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Backspace) {
            m_typed.chop(1);
            lineEdit()->setText(m_typed);
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            m_typing = false;
            m_typed.clear();
            showDate(date());
            QDateEdit::keyPressEvent(event);
            return;
        }
        // A text that names no date stays rejected; the dialog's "Save", which Enter presses,
        // then says so rather than saving the date that was there before.
        finishTyping();
    }
    QDateEdit::keyPressEvent(event);
}

bool EntryDateEdit::focusNextPrevChild(bool next)
{
    // QDateEdit's own steps through its sections first.
    return QAbstractSpinBox::focusNextPrevChild(next);
}

void EntryDateEdit::focusOutEvent(QFocusEvent* event)
{
    if (m_typing)
        finishTyping();
    QDateEdit::focusOutEvent(event);
}
