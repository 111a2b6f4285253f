#include "GoalField.h"

#include "LogModel.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Preferences.h"

#include <QLineEdit>

GoalField::GoalField(QLineEdit* field, LogModel& model, QObject* parent)
    : QObject(parent)
    , m_field(field)
    , m_model(model)
{
    connect(&model, &LogModel::activeLogChanged, this, &GoalField::show);
    connect(&model, &LogModel::goalChanged, this, [this](bool imperial) {
        if (imperial == m_model.imperial())
            show();
    });
    connect(field, &QLineEdit::editingFinished, this, &GoalField::edited);
    show();
}

QString GoalField::AccessibleName(bool imperial)
{
    return imperial ? QStringLiteral("Goal weight, pounds") : QStringLiteral("Goal weight, kilograms");
}

void GoalField::show()
{
    m_field->setText(ShownNumberText(m_model.goal()));
    m_field->setAccessibleName(AccessibleName(m_model.imperial()));
    m_field->setToolTip(m_model.imperial() ? QStringLiteral("Goal weight in pounds; empty for no goal")
                                           : QStringLiteral("Goal weight in kilograms; empty for no goal"));
}

void GoalField::edited()
{
    const QString typed = m_field->text();
    if (m_checking || typed == ShownNumberText(m_model.goal()))
        return;
    m_checking = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_checking};
    const GoalCheck check = CheckGoal(typed, m_model.imperial());
    if (check.kind == GoalCheck::Kind::Refused) {
        // The text stays, to be corrected.
        ShowMessage(check.message, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (check.kind == GoalCheck::Kind::Unlikely
        && ShowMessage(check.message, MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes)
        return;
    m_model.setGoal(check.stored);
    show();
}
