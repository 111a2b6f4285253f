#pragma once

#include "ErrorReport.h"

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

    template <typename Step>
    void operator()(int line, Step&& step)
    {
        m_line = line;
        try {
            step();
        } catch (const std::exception& e) {
            fail(QString::fromUtf8(e.what()));
        } catch (...) {
            fail(QStringLiteral("Unknown failure"));
        }
    }

    // Full name as reported ("Trevasso2021/08/31.Form1.Form_Load").
    const QString& name() const { return m_name; }
    int line() const { return m_line; }
    // Number of failures reported so far (here or, in InCaller mode, on the caller's behalf).
    int failures() const { return m_failures; }

    // The innermost running procedure that reports under its own name, or null.
    static Guarded* Running();

private:
    void fail(const QString& description);

    QString m_name;
    Mode m_mode;
    int m_line = 0;
    int m_failures = 0;
    static std::vector<Guarded*> s_running;
};
