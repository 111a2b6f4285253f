#include "Guarded.h"

#include <algorithm>

std::vector<Guarded*> Guarded::s_running;
int Guarded::s_reportsShown = 0;

Guarded::Guarded(const QString& shortName, Mode mode)
    : m_name(ProcedureName(shortName))
    , m_mode(mode)
{
    s_running.push_back(this);
}

Guarded::~Guarded()
{
    // Procedures end in reverse order of their start; erase by identity all the same.
    const auto it = std::find(s_running.rbegin(), s_running.rend(), this);
    if (it != s_running.rend())
        s_running.erase(std::next(it).base());
}

Guarded* Guarded::Running()
{
    for (auto it = s_running.rbegin(); it != s_running.rend(); ++it) {
        if ((*it)->m_mode == OwnReport)
            return *it;
    }
    return nullptr;
}

void Guarded::fail(const QString& description, bool settingsNotSaved)
{
    ++m_failures;
    if (settingsNotSaved) {
        // The command is the outermost procedure running; it says once that settings are not saved.
        Guarded* command = s_running.front();
        if (command->m_settingsReported) {
            if (command != this)
                ++command->m_failures;
            return;
        }
        command->m_settingsReported = true;
    }
    Guarded* reporter = this;
    if (m_mode == InCaller) {
        // The running procedure with a report of its own; else the handler that started the
        // chain (a switch whose height fields fail reports as the switch).
        Guarded* caller = Running();
        if (!caller)
            caller = s_running.front();
        if (caller != this) {
            reporter = caller;
            ++caller->m_failures;
        }
    }
    ++s_reportsShown;
    ReportError(description, reporter->m_name, reporter->m_line);
}
