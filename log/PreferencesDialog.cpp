#include "PreferencesDialog.h"

#include "Constants.h"
#include "Failure.h"
#include "Guarded.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Preferences.h"
#include "Settings.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

std::function<void(QDialog*)>& Hook()
{
    static std::function<void(QDialog*)> hook;
    return hook;
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PreferencesDialog"));
    setWindowTitle(QStringLiteral("Preferences"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_limit = new QSpinBox(this);
    m_limit->setObjectName(QStringLiteral("EntryLimit"));
    m_limit->setAccessibleName(QStringLiteral("Entry limit"));
    m_limit->setRange(0, HighestEntryLimit);
    m_limit->setSpecialValueText(QStringLiteral("No limit"));
    m_limit->setValue(ReadEntryLimit());
    form->addRow(QStringLiteral("&Entry limit:"), m_limit);
    column->addLayout(form);
    auto* note = new QLabel(QStringLiteral("\"Add New Entry\" stops at this many entries in a log; 26 fit the chart "
                                           "templates as they were first made. 0 means no limit: the log keeps years "
                                           "of entries and the workbook holds them all."),
                            this);
    note->setWordWrap(true);
    column->addWidget(note);
    column->addWidget(OkCancel(this));
}

void PreferencesDialog::accept()
{
    try {
        StoreEntryLimit(QString::number(m_limit->value()));
    } catch (const Failure& e) {
        ShowMessage(e.description(), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    QDialog::accept();
}

GoalDialog::GoalDialog(bool imperial, const QString& stored, QWidget* parent)
    : QDialog(parent)
    , m_imperial(imperial)
{
    setObjectName(QStringLiteral("GoalDialog"));
    setWindowTitle(QStringLiteral("Set Goal Weight"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_goal = new QLineEdit(ShownNumberText(stored), this);
    m_goal->setObjectName(QStringLiteral("Goal"));
    m_goal->setAccessibleName(QStringLiteral("Goal weight"));
    form->addRow(imperial ? QStringLiteral("&Goal (lbs):") : QStringLiteral("&Goal (kg):"), m_goal);
    column->addLayout(form);
    auto* note = new QLabel(QStringLiteral("Leave it empty for no goal."), this);
    column->addWidget(note);
    column->addWidget(OkCancel(this));
}

void GoalDialog::accept()
{
    const GoalCheck check = CheckGoal(m_goal->text(), m_imperial);
    if (check.kind == GoalCheck::Kind::Refused) {
        ShowMessage(check.message, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (check.kind == GoalCheck::Kind::Unlikely
        && ShowMessage(check.message, MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes)
        return;
    m_stored = check.stored;
    QDialog::accept();
}

void SetPreferenceDialogHook(std::function<void(QDialog*)> hook) { Hook() = std::move(hook); }

int RunPreferenceDialog(QDialog* dialog)
{
    if (Hook())
        Hook()(dialog);
    return dialog->exec();
}

std::optional<QString> AskGoal(bool imperial, QWidget* parent)
{
    const QString current = ReadGoal(imperial);
    GoalDialog dialog(imperial, current, parent);
    if (RunPreferenceDialog(&dialog) != QDialog::Accepted || dialog.storedGoal() == current)
        return std::nullopt;
    return dialog.storedGoal();
}
