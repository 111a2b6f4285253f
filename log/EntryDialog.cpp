#include "EntryDialog.h"

#include "AppIcon.h"
#include "Constants.h"
#include "EntryDate.h"
#include "EntryDateEdit.h"
#include "EntryList.h"
#include "FocusRing.h"
#include "Guarded.h"
#include "Main.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Pointer.h"
#include "StoredLog.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

QLineEdit* MakeText(QWidget* parent, int n, const QRect& geometry)
{
    auto* text = new QLineEdit(parent);
    text->setObjectName(QStringLiteral("Text%1").arg(n));
    text->setGeometry(geometry);
    return text;
}

} // namespace

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

EntryDialog::EntryDialog(const QString& formName, int measurements, QTreeWidget* list, QWidget* parent)
    : QDialog(parent)
    , m_formName(formName)
    , m_list(list)
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
    // Alt+S and Alt+C, without changing the captions (see Form1's buttons).
    m_save->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
    m_cancel->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
    m_save->setToolTip(QStringLiteral("Alt+S"));
    m_cancel->setToolTip(QStringLiteral("Esc, Alt+C"));
    connect(m_save, &QPushButton::clicked, this, &EntryDialog::PushButton2_Click);
    connect(m_cancel, &QPushButton::clicked, this, &EntryDialog::PushButton1_Click);
}

void EntryDialog::finishSetup()
{
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

void EntryDialog::PushButton2_Click()
{
    Guarded proc(m_formName + QStringLiteral(".PushButton2_Click"));
    // The stored log has no escaping: a text that would split its entry when the log is
    // loaded again is refused and left for the user to change.
    bool refused = false;
    proc(10, [&] {
        LogEntry entry{FormatEntryDate(m_picker->date())};
        for (QLineEdit* text : std::as_const(m_texts))
            entry.append(text->text());
        const QString unstorable = UnstorableText(entry);
        if (unstorable.isNull())
            return;
        refused = true;
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
    });
    if (refused)
        return;
    // Measurements are numbers: anything else would reach the workbook as text and break its
    // formulas and charts. What was typed stays for the user to correct.
    proc(11, [&] {
        if (!m_picker->rejectedText().isEmpty()) {
            refused = true;
            ShowMessage(QStringLiteral("\"%1\" is not a date. Please type the date as month/day/year, for example %2.")
                            .arg(m_picker->rejectedText(), FormatEntryDate(QDate(2004, 6, 10))),
                        MsgButtons::Ok, MsgIcon::Exclamation);
            m_picker->clearRejected();
            m_picker->setFocus();
            return;
        }
        for (int n = 1; n <= m_texts.size(); ++n) {
            const QString problem = MeasurementProblem(m_captions.value(n - 1), Text(n)->text());
            if (problem.isEmpty())
                continue;
            refused = true;
            ShowMessage(problem, MsgButtons::Ok, MsgIcon::Exclamation);
            Text(n)->setFocus();
            Text(n)->selectAll();
            return;
        }
    });
    if (refused)
        return;

    EntryList list(m_list);
    if (windowTitle() == AddCaption()) {
        QTreeWidgetItem* row = nullptr;
        proc(20, [&] { row = list.addRow(FormatEntryDate(m_picker->date())); });
        proc(21, [&] {
            if (!row)
                return;
            for (int n = 1; n <= m_texts.size(); ++n)
                EntryList::setSubItem(row, n, Text(n)->text().trimmed());
            list.ensureSelection();
            m_list->scrollToItem(row);
        });
        proc(23, [&] {
            if (m_appended)
                m_appended();
        });
        proc(22, [&] {
            for (QLineEdit* text : std::as_const(m_texts))
                text->clear();
            Text(1)->setFocus();
        });
    } else {
        proc(30, [&] {
            QTreeWidgetItem* row = list.selectedRow();
            if (!row)
                return;
            EntryList::setText(row, FormatEntryDate(m_picker->date()));
            for (int n = 1; n <= m_texts.size(); ++n)
                EntryList::setSubItem(row, n, Text(n)->text().trimmed());
        });
        proc(31, [&] { accept(); });
    }
}

Form3::Form3(QTreeWidget* list, QWidget* parent)
    : EntryDialog(QStringLiteral("Form3"), 4, list, parent)
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

Form4::Form4(QTreeWidget* list, QWidget* parent)
    : EntryDialog(QStringLiteral("Form4"), 6, list, parent)
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
