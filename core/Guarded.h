#pragma once

#include "ErrorReport.h"
#include "Failure.h"

#include <QString>

#include <exception>
#include <vector>

// A guarded procedure: its body is a list of numbered steps. A step that throws is reported
// (ReportError with the step's number) and the next step runs, so a procedure is never
// abandoned by a failure.
//
//     Guarded proc("Form1.Form_Load");
//     proc(10, [&] { ApplySkin(); });
//     proc(20, [&] { setWindowTitle(ProductTitle); });
//
// A step that every later step needs (the work folder, the workbook, the picture) runs with
// needed(): when it fails, its report is the only one and the procedure ends there; the
// remaining steps are skipped, except those run with always() (clearing a busy flag).
//
// A command that writes several settings reports the first write that fails only: one full
// disk, one message.
//
// Event handlers without a report of their own (the template switch, the height fields) use
// the InCaller mode: when they run inside a guarded procedure (because that procedure changed
// a control), their failures are reported under that procedure's name and current line;
// otherwise under the name of the outermost handler running (their own when alone).
class Guarded {
public:
    enum Mode { OwnReport, InCaller };

    explicit Guarded(const QString& shortName, Mode mode = OwnReport);
    ~Guarded();
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    template <typename Step> void operator()(int line, Step&& step)
    {
        if (!m_stopped)
            run(line, step);
    }
    template <typename Step> void needed(int line, Step&& step)
    {
        if (!m_stopped && !run(line, step))
            m_stopped = true;
    }
    template <typename Step> void always(int line, Step&& step) { run(line, step); }
    // Ends the procedure without a report of its own (the cause has been reported already).
    void stop() { m_stopped = true; }
    bool stopped() const { return m_stopped; }

    // Full name as reported ("Trevasso2021/08/31.Form1.Form_Load").
    const QString& name() const { return m_name; }
    int line() const { return m_line; }
    // Number of failures reported so far (here or, in InCaller mode, on the caller's behalf).
    int failures() const { return m_failures; }

    // The innermost running procedure that reports under its own name, or null.
    static Guarded* Running();
    // Error reports shown so far by every procedure (to tell whether a helper reported).
    static int ReportsShown() { return s_reportsShown; }

private:
    template <typename Step> bool run(int line, Step& step)
    {
        m_line = line;
        try {
            step();
            return true;
        } catch (const SettingsNotSaved& e) {
            fail(e.description(), true);
        } catch (const std::exception& e) {
            fail(QString::fromUtf8(e.what()), false);
        } catch (...) {
            fail(QStringLiteral("Unknown failure"), false);
        }
        return false;
    }
    void fail(const QString& description, bool settingsNotSaved);

    QString m_name;
    Mode m_mode;
    int m_line = 0;
    int m_failures = 0;
    bool m_stopped = false;
    bool m_settingsReported = false;
    static std::vector<Guarded*> s_running;
    static int s_reportsShown;
};
