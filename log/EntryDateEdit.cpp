#include "EntryDateEdit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

EntryDateEdit::EntryDateEdit(QWidget* parent)
    : QDateEdit(parent)
    , m_order(LocaleDateParts())
{
    // A half-typed date is not a value yet; it becomes one when the typing ends.
    setKeyboardTracking(false);
    // A date chosen another way (the calendar, the arrow keys) ends whatever was typed.
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate& day) {
        // The spin box also says so when it only read its own text again.
        if (m_settingDate || day == m_lastDate)
            return;
        m_lastDate = day;
        setTyping(false);
        m_typed.clear();
        m_rejected.clear();
    });
}

QDate EntryDateEdit::ReadTypedDate(const QString& text, const QDate& current, const DateParts& order)
{
    // One to four digits per field, any one non-digit between them; the last fields may be
    // left out.
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,4})(?:[^\\d\\s]\\s*(\\d{1,4})(?:[^\\d\\s]\\s*(\\d{1,4}))?)?[^\\d\\s]?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QDate();
    int day = current.day();
    int month = current.month();
    int year = current.year();
    for (int k = 0; k < 3; ++k) {
        const QString field = match.captured(k + 1);
        if (field.isEmpty())
            continue;
        const int value = field.toInt();
        if (order.parts[k] == 'y') {
            if (field.size() == 3)
                return QDate();
            year = field.size() <= 2 ? value + (value < 30 ? 2000 : 1900) : value;
        } else if (field.size() > 2) {
            return QDate();
        } else if (order.parts[k] == 'd') {
            day = value;
        } else {
            month = value;
        }
    }
    return QDate(year, month, day);
}

void EntryDateEdit::setTyping(bool typing)
{
    if (typing == m_typing)
        return;
    m_typing = typing;
    // The field's own check would turn a typed text into the nearest date it can read
    // ("2/30/2024" into "2/29/2024"); while a date is typed the field shows it as typed.
    if (typing) {
        m_validator = lineEdit()->validator();
        lineEdit()->setValidator(nullptr);
    } else {
        lineEdit()->setValidator(m_validator);
    }
}

void EntryDateEdit::startTyping()
{
    setTyping(true);
    m_typed.clear();
}

void EntryDateEdit::stopTyping()
{
    setTyping(false);
    m_typed.clear();
    m_rejected.clear();
    showDate(date());
}

void EntryDateEdit::showTyped()
{
    // Quietly: the spin box would read the text as a date of its own when the cursor moves.
    const QSignalBlocker quiet(lineEdit());
    lineEdit()->setText(m_typed);
}

void EntryDateEdit::showDate(const QDate& day)
{
    // The field keeps a parse of what it showed; setting another date first makes it drop
    // that and show `day` in its own format, whatever was typed over it.
    const QDate before = date();
    m_settingDate = true;
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
    m_settingDate = false;
    m_lastDate = date();
}

bool EntryDateEdit::typedComplete() const
{
    static const QRegularExpression fields(QStringLiteral("^(\\d+)\\D(\\d+)\\D(\\d+)$"));
    const QRegularExpressionMatch match = fields.match(m_typed);
    if (!match.hasMatch())
        return false;
    // The last field is as long as it gets: four digits of a year, two of a day or month.
    return match.captured(3).size() == (m_order.parts[2] == 'y' ? 4 : 2);
}

bool EntryDateEdit::finishTyping()
{
    const QDate result = m_typed.isEmpty() ? date() : ReadTypedDate(m_typed, date(), m_order);
    if (result.isValid() && result >= minimumDate() && result <= maximumDate()) {
        setTyping(false);
        m_typed.clear();
        m_rejected.clear();
        showDate(result);
        return true;
    }
    // Kept on show, to be corrected; the date stays what it was.
    m_rejected = m_typed;
    showTyped();
    return false;
}

bool EntryDateEdit::typeKey(QKeyEvent* event)
{
    const QString text = event->text();
    const bool plainChar = text.size() == 1 && text.at(0).isPrint()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plainChar) {
        // Typing over a text that is selected whole starts again.
        if (lineEdit()->hasSelectedText() && lineEdit()->selectedText() == lineEdit()->text())
            m_typed.clear();
        m_typed += text;
        m_rejected.clear();
        showTyped();
        if (typedComplete())
            finishTyping();
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
        if (lineEdit()->hasSelectedText() && lineEdit()->selectedText() == lineEdit()->text())
            m_typed.clear();
        else
            m_typed.chop(1);
        m_rejected.clear();
        showTyped();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A text that names no date stays rejected and on show; the dialog's "Save", which
        // Enter presses, then says so rather than saving the date that was there before.
        if (!finishTyping())
            event->ignore();
        return !event->isAccepted();
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!finishTyping())
            focusNextPrevChild(event->key() == Qt::Key_Tab);
        return m_typing;
    default:
        // Anything else (the arrows, Esc) leaves the typed text for the date.
        stopTyping();
        return false;
    }
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
    const bool digit = text.size() == 1 && text.at(0).isDigit()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!m_typing && digit && currentSectionIndex() == 0)
        startTyping();
    if (m_typing) {
        event->accept();
        // Handled here; an Enter left ignored goes on to the dialog's "Save".
        if (typeKey(event))
            return;
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
    if (m_typing)
        showTyped();
}
