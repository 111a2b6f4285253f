#pragma once

#include "Preferences.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QSpinBox;

// Edit > Preferences...: the entry limit of the add command (0 for none).
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    QSpinBox* entryLimit() const { return m_limit; }
    // "OK": stores the limit; a store that fails is reported and the dialog stays open.
    void accept() override;

private:
    QSpinBox* m_limit;
};

// Edit > Set Goal Weight...: the goal of the active log, in its unit, in the user's locale;
// empty for no goal. Checked like the entries' numbers.
class GoalDialog : public QDialog {
    Q_OBJECT
public:
    GoalDialog(bool imperial, const QString& stored, QWidget* parent = nullptr);
    QLineEdit* goalField() const { return m_goal; }
    // The goal to store, once accepted: a number with a point, or the empty text.
    const QString& storedGoal() const { return m_stored; }
    // "OK": refused with a message for 0, a negative number or no number; an unlikely goal
    // is asked about.
    void accept() override;

private:
    bool m_imperial;
    QLineEdit* m_goal;
    QString m_stored;
};

// Tests watch each of these dialogs just before it runs modally.
void SetPreferenceDialogHook(std::function<void(QDialog*)> hook);
int RunPreferenceDialog(QDialog* dialog);

// The goal the user sets for the log, or nothing when cancelled or unchanged.
std::optional<QString> AskGoal(bool imperial, QWidget* parent);
