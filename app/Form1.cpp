#include "Form1.h"

#include "ActiveLog.h"
#include "AppIcon.h"
#include "Commands.h"
#include "Constants.h"
#include "EntryList.h"
#include "Excel1.h"
#include "Form2.h"
#include "Generation.h"
#include "Failure.h"
#include "FocusRing.h"
#include "Guarded.h"
#include "Help.h"
#include "LogHistory.h"
#include "LogOnDisk.h"
#include "Main.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "Settings.h"
#include "ShortTextDelegate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QUndoStack>

namespace {

// A list column's default width (1440 twips).
constexpr int DefaultColumnTwips = 1440;

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setFont(WindowFont());
    setFixedSize(Px(8040), Px(5685));

    auto button = [this](int n, const QString& caption, const QRect& geometry) {
        auto* pushButton = new QPushButton(caption, this);
        pushButton->setObjectName(QStringLiteral("PushButton%1").arg(n));
        pushButton->setGeometry(geometry);
        return pushButton;
    };
    m_buttons = {
        button(1, QStringLiteral("Start Creating Template"), TwipsRect(120, 120, 7800, 405)),
        button(2, QStringLiteral("Add New Entry"), TwipsRect(120, 4670, 3840, 405)),
        button(3, QStringLiteral("Delete Selected Entry"), TwipsRect(4080, 4670, 3840, 405)),
        button(4, QStringLiteral("Edit Selected Entry"), TwipsRect(120, 5180, 3840, 405)),
        button(5, QStringLiteral("Clear List"), TwipsRect(4080, 5180, 3840, 405)),
        button(6, QStringLiteral("Help"), TwipsRect(120, 630, 3840, 405)),
        button(7, QStringLiteral("Load Sample/Example Data"), TwipsRect(4080, 630, 3840, 405)),
    };

    m_frame1 = new QGroupBox(QStringLiteral("Gender"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(TwipsRect(120, 1110, 3840, 825));
    m_controls.Option1 = new QRadioButton(QStringLiteral("Male"), m_frame1);
    m_controls.Option1->setObjectName(QStringLiteral("Option1"));
    m_controls.Option1->setGeometry(TwipsRect(240, 345, 975, 255));
    m_controls.Option2 = new QRadioButton(QStringLiteral("Female"), m_frame1);
    m_controls.Option2->setObjectName(QStringLiteral("Option2"));
    m_controls.Option2->setGeometry(TwipsRect(1440, 345, 975, 255));
    // "Male" is selected in the design.
    m_controls.Option1->setChecked(true);

    m_frame2 = new QGroupBox(QStringLiteral("Height"), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setGeometry(TwipsRect(4080, 1110, 3840, 825));
    // A caption stands as high as its box and centres its text the way the box does, so the
    // two read on one line (sized to its text, it sat a few pixels above the box's text).
    auto label = [this](int index, const QString& caption, int left) {
        auto* text = new QLabel(caption, m_frame2);
        text->setObjectName(QStringLiteral("Label1_%1").arg(index));
        text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        const QRect box = TwipsRect(0, 300, 0, 345);
        text->setGeometry(Px(left), box.top(), text->sizeHint().width(), box.height());
        return text;
    };
    m_controls.Label1[0] = label(0, QStringLiteral("Feet:"), 240);
    m_controls.Text1 = new QLineEdit(m_frame2);
    m_controls.Text1->setObjectName(QStringLiteral("Text1"));
    m_controls.Text1->setGeometry(TwipsRect(840, 300, 855, 345));
    m_controls.Label1[1] = label(1, QStringLiteral("Inches:"), 1920);
    m_controls.Text2 = new QLineEdit(m_frame2);
    m_controls.Text2->setObjectName(QStringLiteral("Text2"));
    m_controls.Text2->setGeometry(TwipsRect(2760, 300, 855, 345));

    auto* list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("ListView1"));
    list->setGeometry(TwipsRect(120, 2040, 7800, 2535));
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setDefaultSectionSize(Px(DefaultColumnTwips));
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    list->setColumnCount(0);
    // A field of megabytes shows shortened: laying it out whole took seconds per repaint.
    list->setItemDelegate(new ShortTextDelegate(list));
    m_controls.ListView1 = list;
    m_controls.window = this;

    // Tab order of the design: options, height fields, list, editing buttons, then the rest.
    const QList<QWidget*> order
        = {m_controls.Option1, m_controls.Option2, m_controls.Text1, m_controls.Text2, list,          PushButton(2),
           PushButton(3),      PushButton(4),      PushButton(5),    PushButton(1),    PushButton(6), PushButton(7)};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));
    // The keyboard starts where the tab order does.
    m_controls.Option1->setFocus();

    for (int n = 1; n <= 7; ++n)
        connect(PushButton(n), &QPushButton::clicked, this, [this, n] {
            switch (n) {
            case 1: PushButton1_Click(); break;
            case 2: PushButton2_Click(); break;
            case 3: PushButton3_Click(); break;
            case 4: PushButton4_Click(); break;
            case 5: PushButton5_Click(); break;
            case 6: PushButton6_Click(); break;
            default: PushButton7_Click(); break;
            }
        });

    ApplyWindowFonts(this);
    ApplyDesignBackground(this);
    blendIntoFrames();
    m_pointer = new PointerRule(this);
    // Before the log's controls are wired: their handlers record into it.
    m_controls.history = new LogHistory(m_controls, this);
    WireLogControls(m_controls);
    // The settings file changed by something else while the program runs.
    WatchLogOnDisk(m_controls);
    setUpKeyboard();
    m_focusRing = new FocusRing(this);

    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form1::Form_Load()
{
    Guarded proc(QStringLiteral("Form1.Form_Load"));
    proc(10, [&] { ApplySkin(); });
    proc(20, [&] { setWindowTitle(ProductTitle); });
    proc(30, [&] { setWindowIcon(ApplicationIcon()); });
    proc(40, [&] { ApplyApplicationTitle(); });
    proc(50, [&] {
        if (std::optional<QCursor> hand = LoadHandCursor())
            m_pointer->setCustomPointer(*hand);
    });
    proc(60, [&] { SetupImperialView(m_controls); });
    proc(70, [&] { EntryList(m_controls.ListView1).setColumnWidthTwips(1, DateColumnTwips); });
    proc(80, [&] { LoadActiveLog(m_controls); });
    proc(90, [&] { restoreOption(m_controls.Option1, Keys::Option1, Defaults::Option1); });
    proc(91, [&] { restoreOption(m_controls.Option2, Keys::Option2, Defaults::Option2); });
    // With both choices stored as False nothing would be selected while the imperial log is
    // on screen, and the commands would then write imperial rows into the metric log. The
    // log on screen is the imperial one: select it (its view is already set up).
    proc(92, [&] {
        if (!m_controls.Option1->isChecked() && !m_controls.Option2->isChecked()) {
            const QSignalBlocker blocker(m_controls.Option1);
            m_controls.Option1->setChecked(true);
        }
    });
}

void Form1::restoreOption(QRadioButton* option, const QString& key, const QString& defaultValue)
{
    const bool state = SettingToBool(key, ReadSetting(SettingsSection, key, defaultValue));
    if (option->isChecked() == state)
        return;
    if (state) {
        // Selecting one deselects the other, and runs the switch.
        option->setChecked(true);
    } else {
        // An exclusive pair never deselects its selected button by itself.
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

void Form1::ApplySkin()
{
    const QString path = BesideProgram(SkinFileName);
    if (!FileExists(path))
        return;
    ApplyPlainBackground(this, true);
    blendIntoFrames();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("The skin %1 cannot be read: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    setStyleSheet(QString::fromUtf8(file.readAll()));
}

void Form1::blendIntoFrames()
{
    // Styles may tint a frame's inside (Fusion does); a control in a frame then shows that
    // tint rather than a patch of the window's colour.
    for (QGroupBox* frame : {m_frame1, m_frame2}) {
        const auto children = frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            if (qobject_cast<QRadioButton*>(child) || qobject_cast<QLabel*>(child))
                child->setAutoFillBackground(false);
        }
    }
}

void Form1::setUpKeyboard()
{
    // Alt+letter on every button. The captions stay exactly as they are (an "&" in them would
    // change the texts the program and its users rely on), so the keys are set as shortcuts and
    // named in the tooltips.
    const QList<QPair<QAbstractButton*, Qt::Key>> keys = {
        {PushButton(1), Qt::Key_S}, {PushButton(6), Qt::Key_H},      {PushButton(7), Qt::Key_L},
        {PushButton(2), Qt::Key_A}, {PushButton(3), Qt::Key_D},      {PushButton(4), Qt::Key_E},
        {PushButton(5), Qt::Key_C}, {m_controls.Option1, Qt::Key_M}, {m_controls.Option2, Qt::Key_F},
    };
    for (const auto& [button, key] : keys) {
        const QKeySequence sequence(Qt::ALT | key);
        button->setShortcut(sequence);
        button->setToolTip(sequence.toString(QKeySequence::NativeText));
    }
    // Enter presses the button that has the focus.
    for (QPushButton* button : std::as_const(m_buttons))
        button->setAutoDefault(true);

    m_undo = new QAction(QStringLiteral("Undo"), this);
    m_undo->setObjectName(QStringLiteral("Undo"));
    m_undo->setShortcuts(QKeySequence::Undo);
    connect(m_undo, &QAction::triggered, this, &Form1::Undo);
    m_redo = new QAction(QStringLiteral("Redo"), this);
    m_redo->setObjectName(QStringLiteral("Redo"));
    m_redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_redo, &QAction::triggered, this, &Form1::Redo);
    addActions({m_undo, m_redo});
    auto updateHistoryActions = [this] {
        m_undo->setEnabled(history()->canUndo());
        m_redo->setEnabled(history()->canRedo());
    };
    connect(history(), &LogHistory::changed, this, updateHistoryActions);
    connect(m_controls.Option1, &QRadioButton::toggled, this, updateHistoryActions);
    updateHistoryActions();

    QTreeWidget* list = m_controls.ListView1;
    list->installEventFilter(this);
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this] { PushButton4_Click(); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& pos) { listMenu(pos)->popup(list->viewport()->mapToGlobal(pos)); });
    // The height fields would take Ctrl+Z for their own text; the log's undo covers them.
    m_controls.Text1->installEventFilter(this);
    m_controls.Text2->installEventFilter(this);
}

QMenu* Form1::listMenu(const QPoint& pos)
{
    EntryList list(m_controls.ListView1);
    if (QTreeWidgetItem* row = m_controls.ListView1->itemAt(pos))
        list.selectRow(row);
    if (!m_listMenu) {
        m_listMenu = new QMenu(this);
        m_listMenu->setObjectName(QStringLiteral("ListMenu"));
    }
    m_listMenu->clear();
    const bool selected = list.selectedRow() != nullptr;
    m_listMenu->addAction(QStringLiteral("Add New Entry"), this, &Form1::PushButton2_Click);
    QAction* edit = m_listMenu->addAction(QStringLiteral("Edit Selected Entry"), this, &Form1::PushButton4_Click);
    edit->setShortcut(QKeySequence(Qt::Key_Enter));
    edit->setEnabled(selected);
    QAction* remove = m_listMenu->addAction(QStringLiteral("Delete Selected Entry"), this, &Form1::PushButton3_Click);
    remove->setShortcut(QKeySequence(QKeySequence::Delete));
    remove->setEnabled(selected);
    m_listMenu->addSeparator();
    m_listMenu->addAction(m_undo);
    m_listMenu->addAction(m_redo);
    return m_listMenu;
}

void Form1::Undo() { history()->undo(); }

void Form1::Redo() { history()->redo(); }

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_controls.ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            switch (key->key()) {
            case Qt::Key_Delete: PushButton3_Click(); return true;
            case Qt::Key_Return:
            case Qt::Key_Enter: PushButton4_Click(); return true;
            default: break;
            }
        }
    }
    if ((watched == m_controls.Text1 || watched == m_controls.Text2) && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Left unaccepted, the key goes to the window's Undo and Redo.
        if (key->matches(QKeySequence::Undo) || m_redo->shortcuts().contains(QKeySequence(key->keyCombination())))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::setBusyPointer(bool busy) { SetBusyPointer(this, busy); }

bool Form1::isBusyPointer() const { return IsBusyPointer(this); }

Form1::~Form1() = default;

Form2* Form1::preview()
{
    if (!m_form2)
        m_form2 = std::make_unique<Form2>(this);
    return m_form2.get();
}

void Form1::PushButton1_Click()
{
    // A height the template cannot compute with is reported before anything is generated.
    if (!generationBusy) {
        if (const std::optional<HeightProblem> problem
            = CheckHeightForChart(Option1()->isChecked(), Text1()->text(), Text2()->text())) {
            ShowMessage(problem->message, MsgButtons::Ok, MsgIcon::Exclamation);
            QLineEdit* field = problem->field == 1 ? Text1() : Text2();
            field->setFocus();
            field->selectAll();
            return;
        }
    }
    Guarded proc(QStringLiteral("Form1.PushButton1_Click"));
    bool stop = false;
    proc(10, [&] {
        if (generationBusy)
            stop = true;
        else
            generationBusy = true;
    });
    if (stop)
        return;
    proc(20, [&] {
        if (warnExcelOpen()) {
            generationBusy = false;
            stop = true;
        }
    });
    if (stop)
        return;
    proc(30, [&] { setBusyPointer(true); });

    GenerationInput input;
    proc.needed(33, [&] {
        const EntryList list(ListView1());
        input.imperial = Option1()->isChecked();
        input.height1 = Text1()->text();
        input.height2 = Text2()->text();
        input.columnCount = list.columnCount();
        input.goal = ReadSetting(SettingsSection, input.imperial ? Keys::GoalMen : Keys::GoalWomen);
        for (const LogEntry& entry : list.entries())
            input.rows.append(entry);
    });
    const GenerationFiles files = GenerateChartWorkbook(proc, input, m_rng, [this] { setBusyPointer(true); });

    // A generation that ended on a failure has reported it: no preview without its picture.
    proc.always(200, [&] { setBusyPointer(false); });
    proc.needed(210, [&] { preview()->LoadPicture(files.picturePath); });
    proc(220, [&] { preview()->mExcelFile = files.workbookPath; });
    proc(230, [&] {
        preview()->show();
        hide();
    });
    proc.always(240, [&] { DeleteFileForced(files.picturePath); });
    proc.always(245, [&] {
        if (proc.stopped())
            DeleteFileForced(files.workbookPath);
    });
    proc.always(250, [&] { generationBusy = false; });
}

void Form1::PushButton2_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton2_Click"));
    AddNewEntry(m_controls, proc);
}

void Form1::PushButton3_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton3_Click"));
    DeleteSelectedEntry(m_controls, proc);
}

void Form1::PushButton4_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton4_Click"));
    EditSelectedEntry(m_controls, proc);
}

void Form1::PushButton5_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton5_Click"));
    ClearList(m_controls, proc);
}

void Form1::PushButton6_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton6_Click"));
    proc(10, [&] { ShowHelpMessage(); });
}

void Form1::PushButton7_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton7_Click"));
    LoadSampleData(m_controls, proc);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    // exit(), unlike quit(), ends every event loop at once without asking other windows.
    QCoreApplication::exit(0);
}
