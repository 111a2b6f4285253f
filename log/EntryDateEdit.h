#pragma once

#include "EntryDate.h"

#include <QDate>
#include <QDateEdit>
#include <QPointer>
#include <QValidator>
#include <QString>

// The entry dialogs' date picker. Beyond QDateEdit's own section editing, a date typed from
// the first field on becomes the date typed, in the order of the user's locale: "15/07/2004"
// is 15 July 2004 in British English and "7/15/2004" in US English, "15.7.04" in German the
// same day (QDateEdit alone jumps to the next field after a number that cannot take a second
// digit, so the separator then skipped a field); Ctrl+A starts such a typed date. While it is
// typed the field shows what was typed. It becomes the date once complete (a four-digit year
// last, or a two-digit last field after a year), or at Enter, Tab or when the field loses the
// focus; left-out fields after the first keep the date's. A text that names no date in range
// is not taken: the date stays as it was, the field keeps showing the text for the user to
// correct, and rejectedText() names it, for the dialog to refuse, until a date is typed or
// chosen.
class EntryDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit EntryDateEdit(QWidget* parent = nullptr);

    // What was typed and could not become a date, while the field shows it.
    QString rejectedText() const { return m_rejected; }
    // Ends a date still being typed, as Enter would ("Save" pressed with the mouse); true
    // when the field holds a date.
    bool finishTypedDate() { return !m_typing || finishTyping(); }
    // The order typed dates are read in (the user's locale's, when the field was made).
    const DateParts& order() const { return m_order; }

    // The date a typed text names in the given order, whatever separates its fields (two-digit
    // years are read as 1930 to 2029); left-out fields take those of current. Invalid when the
    // text names no date.
    static QDate ReadTypedDate(const QString& text, const QDate& current, const DateParts& order = DateParts());

protected:
    // Tab and Shift+Tab go to the next and previous box, as in the rest of the dialog; the
    // arrow keys and the separator move between the fields.
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setTyping(bool typing);
    void startTyping();
    void stopTyping();
    void showTyped();
    void showDate(const QDate& day);
    bool typedComplete() const;
    // Ends a typed date; true when it became the date.
    bool finishTyping();
    // A key while a date is typed; true when it was handled (and is not for QDateEdit).
    bool typeKey(QKeyEvent* event);

    DateParts m_order;
    bool m_typing = false;
    QPointer<const QValidator> m_validator;
    bool m_settingDate = false;
    QDate m_lastDate;
    QString m_typed;
    QString m_rejected;
};
