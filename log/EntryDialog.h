#pragma once

#include "EntryDateEdit.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class LogModel;
class PointerRule;
class QLineEdit;
class QPushButton;

// Why a measurement typed into the box captioned `caption` cannot be saved (empty, not a
// number in the user's locale, or not above zero), or an empty text when it can.
QString MeasurementProblem(const QString& caption, const QString& text);

// Whether a measurement is far outside what a person measures: a weight (field 1) over
// 1,000 lb or 450 kg or under 20 lb or 9 kg, a circumference (fields 2 to 6) over 100 in or
// 250 cm or under 2 in or 5 cm. Such a value is asked about, not refused.
bool UnlikelyMeasurement(bool imperial, int field, double value);

// What Form3 and Form4 share: a date picker, one text box per measurement, "Save" and
// "Cancel". The caption is the mode: "Add New Record" (the caption of a fresh dialog) appends
// an entry to the log on every "Save" (stored at once) and stays open; any other caption
// ("Edit Record") overwrites the log's selected row and closes.
class EntryDialog : public QDialog {
    Q_OBJECT
public:
    EntryDateEdit* DateTimePicker1() const { return m_picker; }
    // Text box n, from 1 (weight) to measurementCount().
    QLineEdit* Text(int n) const { return m_texts.at(n - 1); }
    int measurementCount() const { return m_texts.size(); }
    QPushButton* PushButton1() const { return m_cancel; } // "Cancel"
    QPushButton* PushButton2() const { return m_save; }   // "Save"

    void Form_Load();
    void PushButton1_Click();
    void PushButton2_Click();

    static QString AddCaption() { return QStringLiteral("Add New Record"); }
    static QString EditCaption() { return QStringLiteral("Edit Record"); }

    // Runs after each add-mode "Save" appended its row: the command stores the row at once,
    // so a confirmed entry survives whatever happens to the program while the dialog is open.
    // Without one, "Save" stores the log itself.
    void setAppendedHandler(std::function<void()> handler) { m_appended = std::move(handler); }

protected:
    EntryDialog(const QString& formName, int measurements, LogModel& log, QWidget* parent);
    // Called by the subclass once its layout stands.
    void finishSetup();

    // The checks of "Save", each with its message: true when the entry is not to be saved.
    bool refusesUnstorableText();
    bool refusesWhatIsNotADateOrNumber();
    bool declinesUnlikelyValue();

    EntryDateEdit* m_picker;
    QList<QLineEdit*> m_texts;
    // What each text box holds, for messages ("Weight (lbs)"), in field order.
    QStringList m_captions;
    QPushButton* m_save;
    QPushButton* m_cancel;

private:
    QString m_formName;
    bool m_imperial; // Form3: pounds and inches
    LogModel& m_log;
    PointerRule* m_pointer = nullptr;
    std::function<void()> m_appended;
};

// The entry dialog of the imperial log: weight in pounds; chest, waist, hips in inches.
class Form3 : public EntryDialog {
    Q_OBJECT
public:
    Form3(LogModel& log, QWidget* parent);
};

// The entry dialog of the metric log: weight in kilograms; chest, waist, hips, wrist and
// forearm in centimetres.
class Form4 : public EntryDialog {
    Q_OBJECT
public:
    Form4(LogModel& log, QWidget* parent);
};
