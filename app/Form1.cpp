#include "Form1.h"

#include "ActiveLog.h"
#include "AppIcon.h"
#include "Commands.h"
#include "Constants.h"
#include "DataCommands.h"
#include "EntryOrder.h"
#include "Excel1.h"
#include "Form2.h"
#include "Generation.h"
#include "GoalField.h"
#include "Failure.h"
#include "FocusRing.h"
#include "Guarded.h"
#include "Help.h"
#include "MainMenu.h"
#include "Mnemonic.h"
#include "LogModel.h"
#include "ProgramFiles.h"
#include "ApplicationTitle.h"
#include "WindowLook.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "PreferencesDialog.h"
#include "Pointer.h"
#include "Settings.h"
#include "WindowSize.h"
#include "LogOnDisk.h"
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
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTreeView>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

// A list column's default width (1440 twips).
constexpr int DefaultColumnTwips = 1440;
// The step undo would take back now, to tell whether a command made one.
const QUndoCommand* LastStep(LogModel& log)
{
    const QUndoStack* stack = log.history().activeStack();
    return stack->index() > 0 ? stack->command(stack->index() - 1) : nullptr;
}

// The designed client area.
constexpr int DesignWidthTwips = 8040;
constexpr int DesignHeightTwips = 5685;

} // namespace

Form1::Form1(QWidget* parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setFont(WindowFont());
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Form1Client"));
    m_client->setMinimumSize(Px(DesignWidthTwips), Px(DesignHeightTwips));
    m_client->installEventFilter(this);
    setCentralWidget(m_client);
    createButtons();
    createFrames();
    createList();
    m_controls.window = this;
    setDesignTabOrder();
    // The keyboard starts where the tab order does.
    m_controls.Option1->setFocus();

    ApplyWindowFonts(this);
    ApplyDesignBackground(this);
    blendIntoFrames();
    m_pointer = new PointerRule(this);
    m_log = new LogModel(this);
    m_logView = new LogView(m_controls, *m_log, this);
    new ::GoalField(m_goal, *m_log, this);
    // The settings file changed by something else while the program runs.
    WatchLogOnDisk(*m_log, this);
    createMenus();
    setUpKeyboard();
    nameControlsForScreenReaders();
    m_focusRing = new FocusRing(this);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);

    // The designed size is the default and the smallest.
    layout()->activate();
    resize(minimumSizeHint());
    // Placed now, so the controls stand where they belong before the window is first shown.
    layout()->invalidate();
    layout()->activate();
    layOutControls();
    m_size = new WindowSizeMemory(this, MainWindowSizeKey, QStringLiteral("Form1.Form_Resize"));
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form1::createButtons()
{
    auto button = [this](int n, const QString& caption) {
        auto* pushButton = new QPushButton(caption, m_client);
        pushButton->setObjectName(QStringLiteral("PushButton%1").arg(n));
        connect(pushButton, &QPushButton::clicked, this, [this, n] {
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
        return pushButton;
    };
    m_buttons = {
        button(1, QStringLiteral("Start Creating Template")),
        button(2, QStringLiteral("Add New Entry")),
        button(3, QStringLiteral("Delete Selected Entry")),
        button(4, QStringLiteral("Edit Selected Entry")),
        button(5, QStringLiteral("Clear List")),
        button(6, QStringLiteral("Help")),
        button(7, QStringLiteral("Load Sample/Example Data")),
    };
}

void Form1::createFrames()
{
    m_frame1 = new QGroupBox(QStringLiteral("Gender"), m_client);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_controls.Option1 = new QRadioButton(QStringLiteral("Male"), m_frame1);
    m_controls.Option1->setObjectName(QStringLiteral("Option1"));
    m_controls.Option1->setGeometry(TwipsRect(240, 345, 975, 255));
    m_controls.Option2 = new QRadioButton(QStringLiteral("Female"), m_frame1);
    m_controls.Option2->setObjectName(QStringLiteral("Option2"));
    m_controls.Option2->setGeometry(TwipsRect(1440, 345, 975, 255));
    // "Male" is selected in the design.
    m_controls.Option1->setChecked(true);
    // The goal belongs to the log the options choose: beside them, on the heights' line.
    m_goalCaption = new QLabel(QStringLiteral("&Goal:"), m_frame1);
    m_goalCaption->setObjectName(QStringLiteral("GoalCaption"));
    m_goalCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The caption ends a little before its box, leaving the room between it and "Female".
    const QRect goalBox = TwipsRect(3120, 300, 600, 345);
    const int captionWidth = m_goalCaption->sizeHint().width();
    m_goalCaption->setGeometry(goalBox.left() - Px(60) - captionWidth, goalBox.top(), captionWidth, goalBox.height());
    m_goal = new QLineEdit(m_frame1);
    m_goal->setObjectName(QStringLiteral("Goal"));
    m_goal->setGeometry(goalBox);
    m_goalCaption->setBuddy(m_goal);

    m_frame2 = new QGroupBox(QStringLiteral("Height"), m_client);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
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
    m_controls.Label1[0]->setBuddy(m_controls.Text1);
    m_controls.Label1[1]->setBuddy(m_controls.Text2);
}

void Form1::createList()
{
    auto* list = new QTreeView(m_client);
    list->setObjectName(QStringLiteral("ListView1"));
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
    // A field of megabytes shows shortened: laying it out whole took seconds per repaint.
    list->setItemDelegate(new ShortTextDelegate(list));
    m_controls.ListView1 = list;
}

void Form1::setDesignTabOrder()
{
    // Tab order of the design: options, height fields, list, editing buttons, then the rest;
    // the goal after the heights.
    const QList<QWidget*> order
        = {m_controls.Option1,   m_controls.Option2, m_controls.Text1, m_controls.Text2, m_goal,
           m_controls.ListView1, PushButton(2),      PushButton(3),    PushButton(4),    PushButton(5),
           PushButton(1),        PushButton(6),      PushButton(7)};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));
}

void Form1::layOutControls()
{
    // At the designed size every control stands where the design puts it. Extra width goes
    // to the full-width controls and in halves to each column of two; extra height to the
    // list, with the buttons below it moving down.
    const int dw = std::max(0, m_client->width() - Px(DesignWidthTwips));
    const int dh = std::max(0, m_client->height() - Px(DesignHeightTwips));
    const int left = dw / 2;
    const int right = dw - left;
    auto place
        = [](QWidget* w, int l, int t, int width, int height, int moveRight, int grow, int moveDown, int growDown) {
              const QRect r = TwipsRect(l, t, width, height);
              w->setGeometry(r.x() + moveRight, r.y() + moveDown, r.width() + grow, r.height() + growDown);
          };
    place(PushButton(1), 120, 120, 7800, 405, 0, dw, 0, 0);
    place(PushButton(6), 120, 630, 3840, 405, 0, left, 0, 0);
    place(PushButton(7), 4080, 630, 3840, 405, left, right, 0, 0);
    place(m_frame1, 120, 1110, 3840, 825, 0, left, 0, 0);
    place(m_frame2, 4080, 1110, 3840, 825, left, right, 0, 0);
    place(m_controls.ListView1, 120, 2040, 7800, 2535, 0, dw, 0, dh);
    place(PushButton(2), 120, 4670, 3840, 405, 0, left, dh, 0);
    place(PushButton(3), 4080, 4670, 3840, 405, left, right, dh, 0);
    place(PushButton(4), 120, 5180, 3840, 405, 0, left, dh, 0);
    place(PushButton(5), 4080, 5180, 3840, 405, left, right, dh, 0);
}

void Form1::createMenus()
{
    // Every command of the menu bar, in menu order: later commands go in here.
    const QList<MenuCommand> commands = {
        {MenuId::File,
         QStringLiteral("StartCreatingTemplate"),
         QStringLiteral("&Start Creating Template"),
         {},
         [this] { PushButton1_Click(); }},
        MenuSeparator(MenuId::File),
        {MenuId::File, QStringLiteral("Import"), QStringLiteral("&Import..."), {}, [this] { Import_Click(); }},
        {MenuId::File,
         QStringLiteral("ExportCsv"),
         QStringLiteral("&Export CSV..."),
         {},
         [this] { ExportCsv_Click(); }},
        {MenuId::File,
         QStringLiteral("RestoreFromBackup"),
         QStringLiteral("&Restore From Backup..."),
         {},
         [this] { RestoreFromBackup_Click(); }},
        MenuSeparator(MenuId::File),
        {MenuId::File,
         QStringLiteral("Quit"),
         QStringLiteral("&Quit"),
         {QKeySequence(Qt::CTRL | Qt::Key_Q)},
         [this] { close(); }},
        {MenuId::Edit, QStringLiteral("Undo"), QStringLiteral("&Undo"), QKeySequence::keyBindings(QKeySequence::Undo),
         [this] { Undo(); }},
        {MenuId::Edit,
         QStringLiteral("Redo"),
         QStringLiteral("&Redo"),
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
         [this] { Redo(); }},
        MenuSeparator(MenuId::Edit),
        {MenuId::Edit,
         QStringLiteral("AddNewEntry"),
         QStringLiteral("&Add New Entry..."),
         {},
         [this] { PushButton2_Click(); }},
        {MenuId::Edit,
         QStringLiteral("EditSelectedEntry"),
         QStringLiteral("&Edit Selected Entry..."),
         {},
         [this] { PushButton4_Click(); }},
        {MenuId::Edit,
         QStringLiteral("DeleteSelectedEntry"),
         QStringLiteral("&Delete Selected Entry"),
         {},
         [this] { PushButton3_Click(); }},
        MenuSeparator(MenuId::Edit),
        {MenuId::Edit, QStringLiteral("ClearList"), QStringLiteral("&Clear List"), {}, [this] { PushButton5_Click(); }},
        {MenuId::Edit,
         QStringLiteral("LoadExampleData"),
         QStringLiteral("&Load Example Data"),
         {},
         [this] { PushButton7_Click(); }},
        MenuSeparator(MenuId::Edit),
        {MenuId::Edit,
         QStringLiteral("SortByDate"),
         QStringLiteral("&Sort by Date"),
         {},
         [this] { SortByDate_Click(); }},
        {MenuId::Edit,
         QStringLiteral("SetGoalWeight"),
         QStringLiteral("Set &Goal Weight..."),
         {},
         [this] { SetGoalWeight_Click(); }},
        {MenuId::Edit,
         QStringLiteral("Preferences"),
         QStringLiteral("&Preferences..."),
         {},
         [this] { Preferences_Click(); }},
        {MenuId::Help,
         QStringLiteral("Help"),
         QStringLiteral("&Help"),
         {QKeySequence(Qt::Key_F1)},
         [this] { PushButton6_Click(); }},
        {MenuId::Help,
         QStringLiteral("KeyboardShortcuts"),
         QStringLiteral("&Keyboard Shortcuts"),
         {},
         [] {
             ShowMessage(KeyboardShortcutsText(), MsgButtons::Ok, MsgIcon::None, QStringLiteral("Keyboard Shortcuts"));
         }},
        MenuSeparator(MenuId::Help),
        {MenuId::Help,
         QStringLiteral("About"),
         QStringLiteral("&About Kalmora"),
         {},
         [] { ShowMessage(AboutText(), MsgButtons::Ok, MsgIcon::None, QStringLiteral("About Kalmora")); }},
    };
    menuBar()->setObjectName(QStringLiteral("MenuBar"));
    BuildMenuBar(menuBar(), commands, this);
    m_undo = menuAction(QStringLiteral("Undo"));
    m_redo = menuAction(QStringLiteral("Redo"));
}

QAction* Form1::menuAction(const QString& name) const { return findChild<QAction*>(name); }

void Form1::nameControlsForScreenReaders()
{
    // What a screen reader says for the controls without a caption of their own; the height
    // fields follow the log (see LogView).
    m_controls.ListView1->setAccessibleName(QStringLiteral("Entries"));
    m_client->setAccessibleName(ProductTitle);
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
    proc(60, [&] { m_log->setUpImperialView(); });
    proc(70, [&] { m_controls.ListView1->setColumnWidth(0, Px(DateColumnTwips)); });
    proc(80, [&] { m_log->loadActiveLog(); });
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
    proc(100, [&] { m_size->restore(); });
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
    // Alt+letter on every button and option, the letter underlined in the unchanged caption.
    const QList<QPair<QAbstractButton*, QChar>> keys = {
        {PushButton(1), QLatin1Char('S')},      {PushButton(6), QLatin1Char('H')},
        {PushButton(7), QLatin1Char('L')},      {PushButton(2), QLatin1Char('A')},
        {PushButton(3), QLatin1Char('D')},      {PushButton(4), QLatin1Char('E')},
        {PushButton(5), QLatin1Char('C')},      {m_controls.Option1, QLatin1Char('M')},
        {m_controls.Option2, QLatin1Char('F')},
    };
    for (const auto& [button, letter] : keys)
        SetMnemonic(button, letter);
    // Enter presses the button that has the focus.
    for (QPushButton* button : std::as_const(m_buttons))
        button->setAutoDefault(true);

    auto updateHistoryActions = [this] {
        m_undo->setEnabled(m_log->canUndo());
        m_redo->setEnabled(m_log->canRedo());
    };
    connect(m_log, &LogModel::historyChanged, this, updateHistoryActions);
    updateHistoryActions();

    QTreeView* list = m_controls.ListView1;
    list->installEventFilter(this);
    connect(list, &QTreeView::doubleClicked, this, [this] { PushButton4_Click(); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this, list](const QPoint& pos) { listMenu(pos)->popup(list->viewport()->mapToGlobal(pos)); });
    // The height fields would take Ctrl+Z for their own text; the log's undo covers them.
    m_controls.Text1->installEventFilter(this);
    m_controls.Text2->installEventFilter(this);
    m_goal->installEventFilter(this);
}

QMenu* Form1::listMenu(const QPoint& pos)
{
    const QModelIndex row = m_controls.ListView1->indexAt(pos);
    if (row.isValid())
        m_log->select(row.row() + 1);
    if (!m_listMenu) {
        m_listMenu = new QMenu(this);
        m_listMenu->setObjectName(QStringLiteral("ListMenu"));
    }
    m_listMenu->clear();
    const bool selected = m_log->selected() > 0;
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

void Form1::Undo() { m_log->undo(); }

void Form1::Redo() { m_log->redo(); }

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
    if (watched == m_client && event->type() == QEvent::Resize)
        layOutControls();
    // The goal field keeps its own undo only while a typed goal waits to be taken.
    const bool goalTaken = watched == m_goal && m_goal->text() == ShownNumberText(m_log->goal());
    if ((watched == m_controls.Text1 || watched == m_controls.Text2 || goalTaken)
        && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Left unaccepted, the key goes to the window's Undo and Redo.
        if (key->matches(QKeySequence::Undo) || m_redo->shortcuts().contains(QKeySequence(key->keyCombination())))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::setBusyPointer(bool busy)
{
    SetBusyPointer(this, busy);
    m_log->setBusy(busy);
}

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
        input.imperial = m_log->imperial();
        input.height1 = m_log->height(1);
        input.height2 = m_log->height(2);
        input.columnCount = m_log->columnCount();
        input.goal = ReadSetting(SettingsSection, input.imperial ? Keys::GoalMen : Keys::GoalWomen);
        input.rows = m_log->typedEntries();
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
    AddNewEntry(*m_log, this, proc);
}

void Form1::PushButton3_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton3_Click"));
    DeleteSelectedEntry(*m_log, proc);
}

void Form1::PushButton4_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton4_Click"));
    EditSelectedEntry(*m_log, this, proc);
}

void Form1::PushButton5_Click()
{
    const QUndoCommand* before = LastStep(*m_log);
    {
        Guarded proc(QStringLiteral("Form1.PushButton5_Click"));
        ClearList(*m_log, proc);
    }
    if (LastStep(*m_log) != before)
        statusBar()->showMessage(QStringLiteral("The list was cleared. Ctrl+Z brings the log back."));
}

void Form1::PushButton6_Click()
{
    Guarded proc(QStringLiteral("Form1.PushButton6_Click"));
    proc(10, [&] { ShowHelpMessage(); });
}

void Form1::PushButton7_Click()
{
    const QUndoCommand* before = LastStep(*m_log);
    {
        Guarded proc(QStringLiteral("Form1.PushButton7_Click"));
        LoadSampleData(*m_log, proc);
    }
    if (LastStep(*m_log) != before)
        statusBar()->showMessage(QStringLiteral("The example data replaced the log. Ctrl+Z brings the log back."));
}

ActiveLogAccess Form1::activeLogAccess()
{
    ActiveLogAccess access;
    access.imperial = m_log->imperial();
    access.entries = m_log->entries();
    access.height1 = StoredNumberText(m_log->height(1));
    access.height2 = StoredNumberText(m_log->height(2));
    access.replace = [this](const QList<LogEntry>& rows, const QString& step) { m_log->replaceLog(rows, step); };
    return access;
}

void Form1::showStatus(const QString& text)
{
    if (!text.isEmpty())
        statusBar()->showMessage(text);
}

void Form1::Import_Click() { showStatus(ImportIntoActiveLog(activeLogAccess(), this)); }

void Form1::ExportCsv_Click() { showStatus(ExportActiveLog(activeLogAccess(), this)); }

void Form1::RestoreFromBackup_Click() { showStatus(RestoreActiveLog(activeLogAccess(), this)); }

void Form1::SortByDate_Click()
{
    Guarded proc(QStringLiteral("Form1.SortByDate_Click"));
    proc(10, [&] {
        if (m_log->sortByDate())
            showStatus(QStringLiteral("The log was sorted by date. Ctrl+Z brings the old order back."));
        else if (!m_log->busy())
            showStatus(QStringLiteral("The log already is in date order."));
    });
}

void Form1::SetGoalWeight_Click()
{
    Guarded proc(QStringLiteral("Form1.SetGoal"));
    proc(10, [&] {
        if (const std::optional<QString> goal = AskGoal(m_log->imperial(), this))
            m_log->setGoal(*goal);
    });
}

void Form1::Preferences_Click()
{
    Guarded proc(QStringLiteral("Form1.Preferences_Click"));
    proc(10, [&] {
        PreferencesDialog dialog(this);
        RunPreferenceDialog(&dialog);
    });
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    // exit(), unlike quit(), ends every event loop at once without asking other windows.
    QCoreApplication::exit(0);
}
