#include "Form2.h"

#include "AppIcon.h"
#include "Constants.h"
#include "Failure.h"
#include "FileDialog.h"
#include "FocusRing.h"
#include "Guarded.h"
#include "ProgramFiles.h"
#include "WindowLook.h"
#include "MessageBox.h"
#include "PdfReport.h"
#include "Pointer.h"
#include "SaveFormat.h"
#include "WindowSize.h"

#include "model/Workbook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QWheelEvent>

#include <cmath>

namespace {

QRect PixelRect(const LayoutBox& box) { return TwipsRect(box.left, box.top, box.width, box.height); }

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// Keys and the wheel move the picture by lines of 20 pixels, about a row of the sheet.
constexpr int kLineTwips = 300;

std::function<Form2::ScreenArea()>& ScreenAreaSource()
{
    static std::function<Form2::ScreenArea()> source;
    return source;
}

} // namespace

void Form2::SetScreenAreaForTesting(std::function<ScreenArea()> source) { ScreenAreaSource() = std::move(source); }

Form2::Form2(QWidget* mainWindow)
    : QWidget(nullptr,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                  | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , m_mainWindow(mainWindow)
    , m_programEnd([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    createControls();
    connectControls();
    resetTabs();
    applyLayout(PreviewLayout::design());
    resize(Px(m_layout.clientWidth), Px(m_layout.clientHeight));
    m_size = new WindowSizeMemory(this, PreviewSizeKey, QStringLiteral("Form2.Form_Resize"));
    ApplyWindowFonts(this);
    m_pointer = new PointerRule(this);
    m_focusRing = new FocusRing(this);
    m_focusRing->placeInside(m_picture2);
    // Keys and the wheel reach the window whichever control has the focus.
    for (QWidget* w :
         {static_cast<QWidget*>(m_picture2), static_cast<QWidget*>(m_hScroll1), static_cast<QWidget*>(m_vScroll1),
          static_cast<QWidget*>(m_tabStrip1), static_cast<QWidget*>(m_zoomIn), static_cast<QWidget*>(m_zoomOut),
          static_cast<QWidget*>(m_save), static_cast<QWidget*>(m_back)})
        w->installEventFilter(this);
    Form_Load();
}

void Form2::createControls()
{
    m_picture2 = new QFrame(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picture2->setLineWidth(PreviewGeometry::kViewportBorder / TwipsPerPixel);
    m_picture2->setAutoFillBackground(true);
    // The picture area takes the keys that move the picture.
    m_picture2->setFocusPolicy(Qt::StrongFocus);
    QPalette white = m_picture2->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_picture2->setPalette(white);

    // The picture lives in a clipping child that is exactly the viewport's inner area.
    m_picture2Inner = new QWidget(m_picture2);
    m_picture2Inner->setObjectName(QStringLiteral("Picture2Inner"));
    m_picture1 = new QLabel(m_picture2Inner);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(TwipsRect(0, 0, 2340, 3435));
    m_picture1->setAutoFillBackground(true);
    m_picture1->setPalette(white);
    m_picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture1->installEventFilter(this);
    m_picture2Inner->installEventFilter(this);

    m_vScroll1 = new QScrollBar(Qt::Vertical, this);
    m_vScroll1->setObjectName(QStringLiteral("VScroll1"));
    m_hScroll1 = new QScrollBar(Qt::Horizontal, this);
    m_hScroll1->setObjectName(QStringLiteral("HScroll1"));
    for (QScrollBar* bar : {m_hScroll1, m_vScroll1}) {
        bar->setRange(0, 32767);
        bar->setSingleStep(1);
        bar->setPageStep(1);
    }

    m_tabStrip1 = new QTabBar(this);
    m_tabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    m_tabStrip1->setShape(QTabBar::RoundedSouth);
    m_tabStrip1->setDrawBase(false);
    m_tabStrip1->setExpanding(false);
    m_tabStrip1->setUsesScrollButtons(true);
    m_tabStrip1->setElideMode(Qt::ElideNone);

    m_frame1 = new QGroupBox(QStringLiteral("Zoom:"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_zoomIn = MakeButton(m_frame1, "PushButton1", QStringLiteral("Zoom In"));
    m_zoomOut = MakeButton(m_frame1, "PushButton2", QStringLiteral("Zoom Out"));
    m_save = MakeButton(this, "PushButton6", QStringLiteral("Save Results To Excel File"));
    m_back = MakeButton(this, "PushButton8", QStringLiteral("< Back"));

    setTabOrder(m_hScroll1, m_vScroll1);
    setTabOrder(m_vScroll1, m_picture2);
    setTabOrder(m_picture2, m_tabStrip1);
    setTabOrder(m_tabStrip1, m_zoomIn);
    setTabOrder(m_zoomIn, m_zoomOut);
    setTabOrder(m_zoomOut, m_save);
    setTabOrder(m_save, m_back);
}

void Form2::connectControls()
{
    connect(m_zoomIn, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(m_zoomOut, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(m_save, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(m_back, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(m_tabStrip1, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_rebuildingTabs && index >= 0)
            TabStrip1_Click(index);
    });
    connect(m_hScroll1, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_syncing)
            return;
        geo().setHScrollValue(v);
        syncFromModel();
    });
    connect(m_vScroll1, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_syncing)
            return;
        geo().setVScrollValue(v);
        syncFromModel();
    });
}

Form2::~Form2() = default;

void Form2::Form_Load()
{
    Guarded proc(QStringLiteral("Form2.Form_Load"));
    proc(10, [&] {
        ApplyDesignBackground(this);
        ApplyPlainBackground(this);
    });
    proc(20, [&] { setWindowTitle(ProductTitle); });
    proc(30, [&] { setWindowIcon(ApplicationIcon()); });
    proc(40, [&] {
        if (auto cursor = LoadHandCursor())
            m_pointer->setCustomPointer(*cursor);
    });
    proc(50, [&] { m_firstActivation = true; });
}

// ---------------------------------------------------------------- layout and screen

void Form2::applyLayout(const PreviewLayout& layout)
{
    const bool viewportChanged = !(layout.picture2 == m_layout.picture2);
    m_layout = layout;
    m_picture2->setGeometry(PixelRect(layout.picture2));
    m_picture2Inner->setGeometry(m_picture2->contentsRect());
    m_vScroll1->setGeometry(PixelRect(layout.vScroll1));
    m_hScroll1->setGeometry(PixelRect(layout.hScroll1));
    m_tabStrip1->setGeometry(PixelRect(layout.tabStrip1));
    m_frame1->setGeometry(PixelRect(layout.frame1));
    m_zoomIn->setGeometry(PixelRect(layout.pushButton1));
    m_zoomOut->setGeometry(PixelRect(layout.pushButton2));
    m_save->setGeometry(PixelRect(layout.pushButton6));
    m_back->setGeometry(PixelRect(layout.pushButton8));
    if (!viewportChanged)
        return;
    // Each tab keeps its zoom and place; its bars fit the new picture area.
    for (SheetView& v : m_sheets.all()) {
        if (v.setUp)
            v.geo.resizeViewport(layout.picture2.width, layout.picture2.height);
        else
            v.geo.setViewportSize(layout.picture2.width, layout.picture2.height);
    }
    if (!m_firstActivation && m_sheets.count() > 0 && m_sheets.view().setUp)
        showView();
}

void Form2::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyLayout(PreviewLayout::forClient(width() * TwipsPerPixel, height() * TwipsPerPixel));
}

Form2::ScreenArea Form2::screenArea() const
{
    if (ScreenAreaSource())
        return ScreenAreaSource()();
    ScreenArea area;
    const QScreen* s = m_mainWindow && m_mainWindow->screen() ? m_mainWindow->screen() : screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (s)
        area.available = s->availableGeometry();
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    if (frame != client) {
        area.frame = QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                              frame.bottom() - client.bottom());
    } else {
        // Before the window is on screen its frame is unknown; allow for a usual title bar.
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
            area.frame = QMargins(4, 40, 4, 4);
    }
    return area;
}

void Form2::placeOnScreen()
{
    const ScreenArea area = screenArea();
    m_assumedFrame = area.frame;
    if (area.available.isEmpty())
        return;
    const int freeWidth = area.available.width() - area.frame.left() - area.frame.right();
    const int freeHeight = area.available.height() - area.frame.top() - area.frame.bottom();
    // The designed size is the smallest, unless the screen is smaller still.
    const PreviewLayout smallest = PreviewLayout::fitting(freeWidth * TwipsPerPixel, freeHeight * TwipsPerPixel);
    setMinimumSize(Px(smallest.clientWidth), Px(smallest.clientHeight));
    if (!m_sizeRestored) {
        m_sizeRestored = true;
        resize(minimumSize());
        m_size->restore();
    }
    resize(size().boundedTo(QSize(freeWidth, freeHeight)).expandedTo(minimumSize()));
    applyLayout(PreviewLayout::forClient(width() * TwipsPerPixel, height() * TwipsPerPixel));
    const int outerWidth = width() + area.frame.left() + area.frame.right();
    const int outerHeight = height() + area.frame.top() + area.frame.bottom();
    // Centred; a window still larger than the area keeps its top left corner on it.
    const int x = area.available.left() + std::max(0, (area.available.width() - outerWidth) / 2);
    const int y = area.available.top() + std::max(0, (area.available.height() - outerHeight) / 2);
    move(x, y);
}

bool Form2::event(QEvent* e)
{
    const bool result = QWidget::event(e);
    // Once the window manager has framed the window, its real frame may differ from the one
    // allowed for: place it again with the real one.
    const bool framed = e->type() == QEvent::Move || e->type() == QEvent::Resize || e->type() == QEvent::WindowActivate;
    if (m_checkFrame && framed && frameGeometry() != geometry()) {
        m_checkFrame = false;
        if (screenArea().frame != m_assumedFrame)
            placeOnScreen();
    }
    return result;
}

// ---------------------------------------------------------------- pictures and tabs

void Form2::LoadPicture(const QString& path)
{
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        throw Failure(QStringLiteral("Cannot load the picture %1: %2").arg(path, reader.errorString()));
    SetPicture(image);
}

void Form2::SetPicture(const QImage& image)
{
    m_sheets.reset(image, m_layout.picture2.width, m_layout.picture2.height);
    rebuildTabStrip();
    // Picture1 takes the picture at its own size until the set-up fits the view to it.
    if (!image.isNull()) {
        m_picture1->setPixmap(m_sheets.view().shown);
        m_picture1->resize(image.size());
    }
    // Every new picture gets its own set-up, zoom and scroll ranges.
    m_firstActivation = true;
    if (isVisible() && isActiveWindow())
        Form_Activate();
}

void Form2::resetTabs()
{
    m_sheets.reset(QImage(), m_layout.picture2.width, m_layout.picture2.height);
    rebuildTabStrip();
}

void Form2::rebuildTabStrip()
{
    m_rebuildingTabs = true;
    while (m_tabStrip1->count() > 0)
        m_tabStrip1->removeTab(0);
    for (const SheetView& v : m_sheets.all())
        m_tabStrip1->addTab(v.tab.name);
    m_tabStrip1->setCurrentIndex(m_sheets.current());
    m_rebuildingTabs = false;
}

void Form2::readTabs()
{
    const int before = m_sheets.count();
    m_sheets.readTabs(mExcelFile, m_layout.picture2.width, m_layout.picture2.height);
    if (m_sheets.count() != before || m_tabStrip1->count() != m_sheets.count())
        rebuildTabStrip();
}

void Form2::openWorkbook() { m_sheets.openWorkbook(mExcelFile); }

void Form2::setUpView(SheetView& v)
{
    m_sheets.setUp(v, m_layout.picture2.width, m_layout.picture2.height, devicePixelRatioF());
    if (&v == &m_sheets.view()) {
        nameViewport();
        m_picture1->setPixmap(v.shown);
        m_picture1->resize(std::max(1, PixelsOf(v.geo.pictureWidth())), std::max(1, PixelsOf(v.geo.pictureHeight())));
    }
}

void Form2::paintPicture(SheetView& v, int widthTwips, int heightTwips)
{
    m_sheets.paint(v, widthTwips, heightTwips, devicePixelRatioF());
    if (&v == &m_sheets.view()) {
        m_picture1->setPixmap(v.shown);
        m_picture1->resize(std::max(1, PixelsOf(widthTwips)), std::max(1, PixelsOf(heightTwips)));
    }
}

void Form2::nameViewport()
{
    // What a screen reader says for the picture area: the sheet it shows.
    m_picture2->setAccessibleName(QStringLiteral("Preview of sheet %1").arg(m_sheets.view().tab.name));
}

void Form2::showView()
{
    SheetView& v = m_sheets.view();
    nameViewport();
    if (v.shown.isNull())
        m_picture1->clear();
    else
        m_picture1->setPixmap(v.shown);
    m_picture1->resize(std::max(1, PixelsOf(v.geo.pictureWidth())), std::max(1, PixelsOf(v.geo.pictureHeight())));
    syncFromModel();
}

QSize Form2::shownPictureSize() const
{
    const QPixmap& p = m_sheets.view().shown;
    return p.isNull() ? QSize() : p.deviceIndependentSize().toSize();
}

void Form2::TabStrip1_Click(int index)
{
    if (index < 0 || index >= m_sheets.count())
        return;
    Guarded proc(QStringLiteral("Form2.TabStrip1_Click"));
    proc(10, [&] { m_sheets.setCurrent(index); });
    proc(20, [&] {
        if (!m_sheets.view().captured)
            openWorkbook();
    });
    proc(30, [&] {
        if (!m_sheets.view().setUp)
            setUpView(m_sheets.view());
    });
    proc(40, [&] { showView(); });
    proc(50, [&] {
        if (m_tabStrip1->currentIndex() != index) {
            m_rebuildingTabs = true;
            m_tabStrip1->setCurrentIndex(index);
            m_rebuildingTabs = false;
        }
    });
}

void Form2::switchTab(int step)
{
    const int next = m_tabStrip1->currentIndex() + step;
    if (next >= 0 && next < m_tabStrip1->count())
        m_tabStrip1->setCurrentIndex(next);
}

// ---------------------------------------------------------------- activation and redraw

void Form2::showEvent(QShowEvent* event)
{
    placeOnScreen();
    QWidget::showEvent(event);
    Form_Activate();
    m_checkFrame = true;
    m_picture2->setFocus(Qt::OtherFocusReason);
}

void Form2::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void Form2::Form_Activate()
{
    if (!m_firstActivation)
        return;
    Guarded proc(QStringLiteral("Form2.Form_Activate"));
    proc(10, [&] { m_sheets.storeOriginal(); });
    proc(20, [&] { setUpView(m_sheets.view()); });
    proc(30, [&] { setupScrollBars(); });
    proc(40, [&] { m_firstActivation = false; });
    // The tab row reads the workbook's sheet names; the workbook itself is opened when a tab
    // needs it.
    proc(50, [&] { readTabs(); });
}

void Form2::RedrawImage()
{
    Guarded proc(QStringLiteral("Form2.RedrawImage"));
    proc(20, [&] { paintPicture(m_sheets.view(), geo().zoomedWidth(), geo().zoomedHeight()); });
    proc(30, [&] {
        if (!IsBusyPointer(this))
            unsetCursor();
    });
    proc(40, [&] { syncFromModel(); });
}

void Form2::setupScrollBars()
{
    geo().setupScrollBars();
    syncFromModel();
}

void Form2::syncFromModel()
{
    m_syncing = true;
    const ScrollBarState& h = geo().hScroll();
    const ScrollBarState& v = geo().vScroll();
    // A disabled bar shows no thumb: it has no range on screen (the model keeps its own).
    m_hScroll1->setRange(0, h.enabled ? std::max(0, h.maximum) : 0);
    m_hScroll1->setValue(h.value);
    m_hScroll1->setEnabled(h.enabled);
    m_vScroll1->setRange(0, v.enabled ? std::max(0, v.maximum) : 0);
    m_vScroll1->setValue(v.value);
    m_vScroll1->setEnabled(v.enabled);
    m_picture1->move(PixelsOf(geo().pictureLeft()), PixelsOf(geo().pictureTop()));
    m_syncing = false;
}

void Form2::zoom(int direction)
{
    // The geometry takes the step; a picture it redrew at the new size is painted again.
    if (geo().zoomStep(direction))
        RedrawImage();
    else
        syncFromModel();
}

void Form2::PushButton1_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton1_Click"));
    proc(10, [&] { zoom(0); });
}

void Form2::PushButton2_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton2_Click"));
    proc(10, [&] { zoom(1); });
}

void Form2::SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent)
{
    if (HScrollbar == m_hScroll1)
        geo().setHScrollbarByPercent(percent);
    syncFromModel();
}

void Form2::SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent)
{
    if (VScrollbar == m_vScroll1)
        geo().setVScrollbarByPercent(percent);
    syncFromModel();
}

// ---------------------------------------------------------------- mouse and keys

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture1) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            picture1_MouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
            return true;
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->buttons() != Qt::NoButton)
                picture1_MouseMove(me->position().toPoint());
            return true;
        }
        case QEvent::MouseButtonRelease: Picture1_MouseUp(); return true;
        default: break;
        }
    }
    if (event->type() == QEvent::KeyPress && handleKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::Wheel) {
        if (watched == m_hScroll1 || watched == m_vScroll1)
            return handleWheel(static_cast<QWheelEvent*>(event), static_cast<QScrollBar*>(watched)->orientation());
        if (watched == m_picture1 || watched == m_picture2Inner || watched == m_picture2)
            return handleWheel(static_cast<QWheelEvent*>(event), Qt::Vertical);
        // The tab row turns its tabs with the wheel; Ctrl + wheel zooms there too.
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (watched == m_tabStrip1 && (wheel->modifiers() & Qt::ControlModifier))
            return handleWheel(wheel, Qt::Vertical);
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(this, event))
        QWidget::keyPressEvent(event);
}

void Form2::wheelEvent(QWheelEvent* event)
{
    if (!handleWheel(event, Qt::Vertical))
        QWidget::wheelEvent(event);
}

bool Form2::handleKey(QObject* watched, QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        switch (key) {
        case Qt::Key_Plus:
        case Qt::Key_Equal: PushButton1_Click(); return true;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: PushButton2_Click(); return true;
        default: break;
        }
    }
    if (mods == Qt::ControlModifier) {
        // Ctrl+W closes the preview the way "< Back" does, back to the main window.
        if (key == Qt::Key_W) {
            m_back->click();
            return true;
        }
        if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            switchTab(key == Qt::Key_PageDown ? 1 : -1);
            return true;
        }
        return false;
    }
    if (mods != Qt::NoModifier)
        return false;
    // The tab row keeps its own left and right; a focused button its Space and Enter.
    if (watched == m_tabStrip1 && (key == Qt::Key_Left || key == Qt::Key_Right))
        return false;
    if (auto* button = qobject_cast<QPushButton*>(watched); button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        button->click();
        return true;
    }
    const int page = geo().viewportInnerHeight() - kLineTwips;
    switch (key) {
    case Qt::Key_Escape: m_back->click(); return true;
    case Qt::Key_Left: geo().scrollBy(-kLineTwips, 0); break;
    case Qt::Key_Right: geo().scrollBy(kLineTwips, 0); break;
    case Qt::Key_Up: geo().scrollBy(0, -kLineTwips); break;
    case Qt::Key_Down: geo().scrollBy(0, kLineTwips); break;
    case Qt::Key_PageUp: geo().scrollBy(0, -page); break;
    case Qt::Key_PageDown: geo().scrollBy(0, page); break;
    case Qt::Key_Home: geo().scrollToVerticalEnd(false); break;
    case Qt::Key_End: geo().scrollToVerticalEnd(true); break;
    default: return false;
    }
    syncFromModel();
    return true;
}

bool Form2::handleWheel(QWheelEvent* event, Qt::Orientation barOrientation)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    QPoint delta = event->angleDelta();
    if (mods & Qt::ControlModifier) {
        // One zoom step per notch of the wheel.
        m_wheelZoom += delta.y() != 0 ? delta.y() : delta.x();
        while (m_wheelZoom >= 120) {
            m_wheelZoom -= 120;
            PushButton1_Click();
        }
        while (m_wheelZoom <= -120) {
            m_wheelZoom += 120;
            PushButton2_Click();
        }
        event->accept();
        return true;
    }
    const bool sideways = (mods & Qt::ShiftModifier) || barOrientation == Qt::Horizontal;
    if (sideways && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    // A wheel notch (120) moves the lines the desktop asks for; a touchpad moves by its pixels.
    const QPoint pixels = event->pixelDelta();
    int dx = 0;
    int dy = 0;
    if (!pixels.isNull() && !sideways) {
        dx = -pixels.x() * TwipsPerPixel;
        dy = -pixels.y() * TwipsPerPixel;
    } else {
        const int lines = QApplication::wheelScrollLines();
        dx = -delta.x() * lines * kLineTwips / 120;
        dy = -delta.y() * lines * kLineTwips / 120;
    }
    geo().scrollBy(dx, dy);
    syncFromModel();
    event->accept();
    return true;
}

void Form2::picture1_MouseDown(const QPoint& pos)
{
    Guarded proc(QStringLiteral("Form2.picture1_MouseDown"));
    proc(10, [&] { geo().mouseDown(pos.x() * TwipsPerPixel, pos.y() * TwipsPerPixel); });
}

void Form2::picture1_MouseMove(const QPoint& pos)
{
    Guarded proc(QStringLiteral("Form2.picture1_MouseMove"));
    proc(10, [&] { geo().mouseMove(pos.x() * TwipsPerPixel, pos.y() * TwipsPerPixel); });
    proc(20, [&] { m_picture1->move(PixelsOf(geo().pictureLeft()), PixelsOf(geo().pictureTop())); });
}

void Form2::Picture1_MouseUp()
{
    Guarded proc(QStringLiteral("Form2.Picture1_MouseUp"));
    // A failing percentage is reported under its own line and counts as 0.
    QList<QPair<int, QString>> failures;
    proc(10, [&] {
        geo().mouseUp([&](int step, const char* what) { failures.append({step, QString::fromUtf8(what)}); });
    });
    for (const auto& f : failures)
        proc(f.first * 10, [&] { throw Failure(f.second); });
    proc(30, [&] { syncFromModel(); });
}

// ---------------------------------------------------------------- saving and leaving

void Form2::saveWorkbookCopy(const QString& path) { WriteWholeFile(path, ReadWorkbookFile(mExcelFile)); }

void Form2::savePdfReport(const QString& path)
{
    openWorkbook();
    const QByteArray pdf
        = PdfReport(*m_sheets.workbook(), PaperForLocale(QLocale()), QFileInfo(path).completeBaseName());
    WriteWholeFile(path, pdf);
}

void Form2::PushButton6_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton6_Click"));
    QString path;
    QString filter;
    enum class Answer { None, Yes, No } answer = Answer::None;
    proc(10, [&] {
        filter = ExcelFilter;
        path = AskSaveFileName(QStringLiteral("Save File"), SaveFilters(), &filter,
                               QDir(SaveFolder()).filePath(SuggestedSaveName(QDate::currentDate())));
    });
    if (!path.isEmpty()) {
        proc(20, [&] {
            if (FileExists(path)) {
                const MsgAnswer a
                    = ShowMessage(QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?"),
                                  MsgButtons::YesNo, MsgIcon::None);
                answer = a == MsgAnswer::Yes ? Answer::Yes : Answer::No;
            }
        });
        proc(30, [&] {
            if (!FileExists(path))
                answer = Answer::Yes;
        });
        // A save that failed was reported; "Done." after it would tell the user otherwise.
        proc.needed(40, [&] {
            if (answer != Answer::Yes)
                return;
            if (WantsPdf(path, filter))
                savePdfReport(path);
            else
                saveWorkbookCopy(path);
        });
        // The next save starts where this one went, in this run and the next.
        proc(45, [&] {
            if (answer == Answer::Yes)
                RememberSaveFolder(path);
        });
    }
    proc(50, [&] { ShowMessage(QStringLiteral("Done."), MsgButtons::Ok, MsgIcon::None); });
}

void Form2::PushButton8_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton8_Click"));
    proc(10, [&] { DeleteFileForced(mExcelFile); });
    proc(20, [&] {
        if (m_mainWindow)
            m_mainWindow->show();
    });
    proc(30, [&] { hide(); });
}

bool Form2::Form_QueryUnload()
{
    Guarded proc(QStringLiteral("Form2.Form_QueryUnload"));
    proc(10, [&] { DeleteFileForced(mExcelFile); });
    proc(20, [&] { QCoreApplication::processEvents(); });
    proc(30, [&] { QCoreApplication::processEvents(); });
    return true;
}

void Form2::Form_Unload()
{
    if (m_programEnd)
        m_programEnd();
}

void Form2::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}
