#pragma once

#include <QDate>
#include <QDateEdit>
#include <QString>

// The entry dialogs' date picker. Beyond QDateEdit's own section editing, a date typed from
// the first (month) field on becomes the date typed, in the field's order: "6/3/2004" is
// 3 June 2004 (QDateEdit alone jumps to the day after a month that cannot take a second digit,
// so the "/" then skipped the day), "06/03/04" is the same day, and Ctrl+A starts such a
// typed date. While it is typed the field shows what was typed. It becomes the date once
// complete (a four-digit year), or at Enter, Tab or when the field loses the focus; a month
// and day alone keep the year. A text that names no date in range is not taken: the date
// stays as it was and rejectedText() names what was typed, for the dialog to refuse.
class EntryDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit EntryDateEdit(QWidget* parent = nullptr);

    // What was typed and could not become a date, until the date changes or clearRejected().
    QString rejectedText() const { return m_rejected; }
    void clearRejected() { m_rejected.clear(); }

    // The date a typed text names in month, day, year order, whatever separates them (two-digit
    // years are read as 1930 to 2029); year and day default to those of current when left out.
    // Invalid when the text names no date.
    static QDate ReadTypedDate(const QString& text, const QDate& current);

protected:
    // Tab and Shift+Tab go to the next and previous box, as in the rest of the dialog; the
    // arrow keys and the separator move between month, day and year.
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void startTyping();
    void showDate(const QDate& day);
    // Ends a typed date; true when it became the date.
    bool finishTyping();

    bool m_typing = false;
    QString m_typed;
    QString m_rejected;
    QDate m_rejectedOn; // the date shown when the typed text was rejected
};
