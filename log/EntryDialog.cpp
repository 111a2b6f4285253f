#include "EntryDialog.h"

#include "AppIcon.h"
#include "Constants.h"
#include "EntryDate.h"
#include "EntryDateEdit.h"
#include "FocusRing.h"
#include "Guarded.h"
#include "Mnemonic.h"
#include "LogModel.h"
#include "WindowLook.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Pointer.h"
#include "StoredLog.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit* MakeText(QWidget* parent, int n, const QRect& geometry)
{
    auto* text = new QLineEdit(parent);
    text->setObjectName(QStringLiteral("Text%1").arg(n));
    text->setGeometry(geometry);
    return text;
}

} // namespace

bool UnlikelyMeasurement(bool imperial, int field, double value)
{
    // Pounds or kilograms for the weight, inches or centimetres for the rest.
    struct Range {
        double low;
        double high;
    };
    const Range weight = imperial ? Range{20, 1000} : Range{9, 450};
    const Range around = imperial ? Range{2, 100} : Range{5, 250};
    const Range range = field == 1 ? weight : around;
    return value < range.low || value > range.high;
}

QString MeasurementProblem(const QString& caption, const QString& text)
{
    const QString example = ExampleNumber(72.5);
    if (text.trimmed().isEmpty())
        return QStringLiteral("Please type a number for \"%1\", for example %2.").arg(caption, example);
    const std::optional<double> value = ReadTypedNumber(text);
    if (!value)
        return QStringLiteral("\"%1\" is not a number. Please type a number for \"%2\", for example %3.")
            .arg(text, caption, example);
    if (*value <= 0)
        return QStringLiteral("\"%1\" cannot be saved: \"%2\" must be more than 0.").arg(text, caption);
    return QString();
}

EntryDialog::EntryDialog(const QString& formName, int measurements, LogModel& log, QWidget* parent)
    : QDialog(parent)
    , m_formName(formName)
    , m_imperial(measurements == 4)
    , m_log(log)
{
    setObjectName(formName);
    // Before any control exists, so labels size themselves in the window's font.
    setFont(WindowFont());
    setWindowTitle(AddCaption());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setModal(true);

    m_picker = new EntryDateEdit(this);
    m_picker->setObjectName(QStringLiteral("DateTimePicker1"));
    m_picker->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    m_picker->setDisplayFormat(EntryDateDisplayFormat());
    m_picker->setCalendarPopup(true);
    m_picker->setDate(QDate::currentDate());

    m_texts.reserve(measurements);
    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("PushButton2"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("PushButton1"));
    // Enter saves, from any box; on a focused "Cancel" it cancels.
    m_save->setAutoDefault(true);
    m_cancel->setAutoDefault(true);
    m_save->setDefault(true);
    // Alt+S and Alt+C, the letters underlined, the captions unchanged (see Form1's buttons).
    m_cancel->setToolTip(QStringLiteral("Esc, Alt+C"));
    SetMnemonic(m_save, QLatin1Char('S'));
    SetMnemonic(m_cancel, QLatin1Char('C'));
    connect(m_save, &QPushButton::clicked, this, &EntryDialog::PushButton2_Click);
    connect(m_cancel, &QPushButton::clicked, this, &EntryDialog::PushButton1_Click);
}

void EntryDialog::finishSetup()
{
    // What a screen reader says for each box: its caption.
    m_picker->setAccessibleName(QStringLiteral("Date"));
    for (int n = 1; n <= m_texts.size(); ++n)
        Text(n)->setAccessibleName(m_captions.value(n - 1));
    ApplyDesignBackground(this);
    ApplyWindowFonts(this);
    m_pointer = new PointerRule(this);
    new FocusRing(this);
    Form_Load();
}

void EntryDialog::Form_Load()
{
    Guarded proc(m_formName + QStringLiteral(".Form_Load"));
    proc(10, [&] { ApplyPlainBackground(this); });
    proc(20, [&] { setWindowIcon(ApplicationIcon()); });
    proc(30, [&] {
        if (std::optional<QCursor> hand = LoadHandCursor())
            m_pointer->setCustomPointer(*hand);
    });
}

void EntryDialog::PushButton1_Click()
{
    Guarded proc(m_formName + QStringLiteral(".PushButton1_Click"));
    proc(10, [&] { reject(); });
}

bool EntryDialog::refusesUnstorableText()
{
    // The stored log has no escaping: a text that would split its entry when the log is
    // loaded again is refused and left for the user to change.
    LogEntry entry{FormatEntryDate(m_picker->date())};
    for (QLineEdit* text : std::as_const(m_texts))
        entry.append(text->text());
    const QString unstorable = UnstorableText(entry);
    if (unstorable.isNull())
        return false;
    ShowMessage(QStringLiteral("The text \"%1\" cannot be saved: the program separates fields with "
                               "\"%2\" and entries with \"%3\", and this text would be read back "
                               "differently.\r\nPlease change it and save again.")
                    .arg(unstorable, FieldSeparator, EntrySeparator),
                MsgButtons::Ok, MsgIcon::Exclamation);
    for (QLineEdit* text : std::as_const(m_texts)) {
        if (text->text() == unstorable) {
            text->setFocus();
            break;
        }
    }
    return true;
}

bool EntryDialog::refusesWhatIsNotADateOrNumber()
{
    // What was typed stays for the user to correct.
    m_picker->finishTypedDate();
    if (!m_picker->rejectedText().isEmpty()) {
        ShowMessage(QStringLiteral("\"%1\" is not a date. Please type the date as %2, for example %3.")
                        .arg(m_picker->rejectedText(), m_picker->order().words(), ShownEntryDate(QDate(2004, 6, 10))),
                    MsgButtons::Ok, MsgIcon::Exclamation);
        m_picker->setFocus();
        m_picker->selectAll();
        return true;
    }
    // Measurements are numbers: anything else would reach the workbook as text and break its
    // formulas and charts.
    for (int n = 1; n <= m_texts.size(); ++n) {
        const QString problem = MeasurementProblem(m_captions.value(n - 1), Text(n)->text());
        if (problem.isEmpty())
            continue;
        ShowMessage(problem, MsgButtons::Ok, MsgIcon::Exclamation);
        Text(n)->setFocus();
        Text(n)->selectAll();
        return true;
    }
    return false;
}

bool EntryDialog::declinesUnlikelyValue()
{
    // A value far outside what a person measures wrecks every chart; it may still be meant.
    for (int n = 1; n <= m_texts.size(); ++n) {
        const std::optional<double> value = ReadTypedNumber(Text(n)->text());
        if (!value || !UnlikelyMeasurement(m_imperial, n, *value))
            continue;
        const MsgAnswer answer = ShowMessage(QStringLiteral("%1: %2\r\nThat looks unlikely. Save anyway?")
                                                 .arg(m_captions.value(n - 1), Text(n)->text().trimmed()),
                                             MsgButtons::YesNo, MsgIcon::None);
        if (answer != MsgAnswer::Yes) {
            Text(n)->setFocus();
            Text(n)->selectAll();
            return true;
        }
    }
    return false;
}

void EntryDialog::PushButton2_Click()
{
    Guarded proc(m_formName + QStringLiteral(".PushButton2_Click"));
    bool refused = false;
    proc(10, [&] { refused = refusesUnstorableText(); });
    if (!refused)
        proc(11, [&] { refused = refusesWhatIsNotADateOrNumber(); });
    if (!refused)
        proc(12, [&] { refused = declinesUnlikelyValue(); });
    if (refused)
        return;

    LogEntry entry{FormatEntryDate(m_picker->date())};
    for (QLineEdit* text : std::as_const(m_texts))
        entry.append(StoredNumberText(text->text().trimmed()));
    if (windowTitle() == AddCaption()) {
        // Stored at once: a saved entry survives whatever happens while the dialog is open.
        proc(20, [&] { m_log.appendEntry(entry); });
        proc(23, [&] {
            if (m_appended)
                m_appended();
            else
                m_log.storeActiveLog();
        });
        proc(22, [&] {
            for (QLineEdit* text : std::as_const(m_texts))
                text->clear();
            Text(1)->setFocus();
        });
    } else {
        proc(30, [&] { m_log.replaceSelected(entry); });
        proc(31, [&] { accept(); });
    }
}

Form3::Form3(LogModel& log, QWidget* parent)
    : EntryDialog(QStringLiteral("Form3"), 4, log, parent)
{
    setFixedSize(Px(8040), Px(3435));

    auto frame = [this](const QString& name, const QString& caption, const QRect& geometry) {
        auto* box = new QGroupBox(caption, this);
        box->setObjectName(name);
        box->setGeometry(geometry);
        return box;
    };
    QGroupBox* date = frame(QStringLiteral("Frame1"), QStringLiteral("Date"), TwipsRect(120, 120, 7800, 870));
    m_picker->setParent(date);
    m_picker->setGeometry(TwipsRect(240, 300, 7335, 375));

    const QRect box = TwipsRect(240, 300, 3360, 345);
    QGroupBox* weight
        = frame(QStringLiteral("Frame2"), QStringLiteral("Weight (lbs):"), TwipsRect(120, 1060, 3840, 825));
    QGroupBox* waist
        = frame(QStringLiteral("Frame3"), QStringLiteral("Waist (inch):"), TwipsRect(4080, 1060, 3840, 825));
    QGroupBox* chest
        = frame(QStringLiteral("Frame5"), QStringLiteral("Chest (inch):"), TwipsRect(120, 1950, 3840, 825));
    QGroupBox* hips = frame(QStringLiteral("Frame6"), QStringLiteral("Hips (inch):"), TwipsRect(4080, 1950, 3840, 825));
    m_texts = {MakeText(weight, 1, box), MakeText(chest, 2, box), MakeText(waist, 3, box), MakeText(hips, 4, box)};
    for (const QGroupBox* group : {weight, chest, waist, hips})
        m_captions.append(group->title().chopped(1));

    m_save->setGeometry(TwipsRect(120, 2910, 3840, 405));
    m_cancel->setGeometry(TwipsRect(4080, 2910, 3840, 405));

    // Screen order, not field order.
    setTabOrder(m_picker, Text(1));
    setTabOrder(Text(1), Text(3));
    setTabOrder(Text(3), Text(2));
    setTabOrder(Text(2), Text(4));
    setTabOrder(Text(4), m_save);
    setTabOrder(m_save, m_cancel);

    finishSetup();
}

Form4::Form4(LogModel& log, QWidget* parent)
    : EntryDialog(QStringLiteral("Form4"), 6, log, parent)
{
    setFixedSize(Px(4920), Px(3090));

    const QStringList captions
        = {QStringLiteral("Date:"),        QStringLiteral("Weight (kg):"), QStringLiteral("Chest (cm):"),
           QStringLiteral("Waist (cm):"),  QStringLiteral("Hips (cm):"),   QStringLiteral("Wrist (cm):"),
           QStringLiteral("Forearm (cm):")};
    auto label = [this, &captions](int index, int left, int top, int boxLeft) {
        auto* caption = new QLabel(captions.at(index), this);
        caption->setObjectName(QStringLiteral("Label1_%1").arg(index));
        caption->adjustSize();
        // A caption wider than the room before its box moves left rather than run into it.
        const int gap = 3;
        caption->move(qMin(Px(left), Px(boxLeft) - gap - caption->width()), Px(top));
        return caption;
    };
    for (int n = 1; n <= 6; ++n)
        m_captions.append(captions.at(n).chopped(1));
    label(0, 120, 195, 600);
    m_picker->setGeometry(TwipsRect(600, 120, 1455, 375));

    const int tops[] = {720, 1200, 1680};
    for (int n = 1; n <= 6; ++n) {
        const bool left = n <= 3;
        const int top = tops[(n - 1) % 3];
        label(n, left ? 120 : 2640, top + 75, left ? 1320 : 3840);
        m_texts.append(MakeText(this, n, TwipsRect(left ? 1320 : 3840, top, 960, 375)));
    }

    m_save->setGeometry(TwipsRect(120, 2520, 2280, 405));
    m_cancel->setGeometry(TwipsRect(2520, 2520, 2280, 405));

    setTabOrder(m_picker, Text(1));
    for (int n = 1; n < 6; ++n)
        setTabOrder(Text(n), Text(n + 1));
    setTabOrder(Text(6), m_save);
    setTabOrder(m_save, m_cancel);

    finishSetup();
}
