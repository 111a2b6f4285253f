#pragma once

#include <QObject>
#include <QString>

class LogModel;
class QLineEdit;

// The main window's "Goal:" field: the active log's goal weight in the user's locale, empty
// for none. What the user types is checked like the entries' numbers when the field is left
// or Enter is pressed: a refused text stays in the field after its message, an unlikely one is
// asked about, and an accepted one becomes the log's goal (stored at once, one undo step).
class GoalField : public QObject {
    Q_OBJECT
public:
    GoalField(QLineEdit* field, LogModel& model, QObject* parent = nullptr);

    // What a screen reader calls the field in each log.
    static QString AccessibleName(bool imperial);

private:
    void show();
    void edited();

    QLineEdit* m_field;
    LogModel& m_model;
    // Set while a message about the typed goal is open: leaving the field for it is no edit.
    bool m_checking = false;
};
