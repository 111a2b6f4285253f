#include "Form2.h"

#include "AppIcon.h"
#include "Constants.h"
#include "Failure.h"
#include "FileDialog.h"
#include "Guarded.h"
#include "Main.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "file/DurableFile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <cmath>

namespace {

int PixelsOf(int twips)
{
    return static_cast<int>(std::lround(twips / static_cast<double>(TwipsPerPixel)));
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QRect& at)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(at);
    b->setAutoDefault(false);
    return b;
}

} // namespace

Form2::Form2(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_mainWindow(mainWindow)
    , m_programEnd([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(Px(9840), Px(9390));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_picture2 = new QFrame(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setGeometry(TwipsRect(120, 120, 9330, 7425));
    m_picture2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picture2->setLineWidth(PreviewGeometry::kViewportBorder / TwipsPerPixel);
    m_picture2->setAutoFillBackground(true);
    QPalette white = m_picture2->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_picture2->setPalette(white);

    // The picture lives in a clipping child that is exactly the viewport's inner area.
    auto* inner = new QWidget(m_picture2);
    inner->setObjectName(QStringLiteral("Picture2Inner"));
    inner->setGeometry(m_picture2->contentsRect());
    m_picture1 = new QLabel(inner);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(TwipsRect(0, 0, 2340, 3435));
    m_picture1->setAutoFillBackground(true);
    m_picture1->setPalette(white);
    m_picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture1->installEventFilter(this);

    m_vScroll1 = new QScrollBar(Qt::Vertical, this);
    m_vScroll1->setObjectName(QStringLiteral("VScroll1"));
    m_vScroll1->setGeometry(TwipsRect(9450, 120, 255, 7425));
    m_hScroll1 = new QScrollBar(Qt::Horizontal, this);
    m_hScroll1->setObjectName(QStringLiteral("HScroll1"));
    m_hScroll1->setGeometry(TwipsRect(120, 7545, 9330, 255));
    for (QScrollBar* bar : {m_hScroll1, m_vScroll1}) {
        bar->setRange(0, 32767);
        bar->setSingleStep(1);
        bar->setPageStep(1);
    }

    m_frame1 = new QGroupBox(QStringLiteral("Zoom:"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(TwipsRect(120, 7860, 9600, 855));
    m_zoomIn = MakeButton(m_frame1, "PushButton1", QStringLiteral("Zoom In"), TwipsRect(240, 300, 4440, 405));
    m_zoomOut = MakeButton(m_frame1, "PushButton2", QStringLiteral("Zoom Out"), TwipsRect(4800, 300, 4560, 405));
    m_save = MakeButton(this, "PushButton6", QStringLiteral("Save Results To Excel File"), TwipsRect(4920, 8850, 4800, 405));
    m_back = MakeButton(this, "PushButton8", QStringLiteral("< Back"), TwipsRect(120, 8850, 4680, 405));

    setTabOrder(m_hScroll1, m_vScroll1);
    setTabOrder(m_vScroll1, m_zoomIn);
    setTabOrder(m_zoomIn, m_zoomOut);
    setTabOrder(m_zoomOut, m_save);
    setTabOrder(m_save, m_back);

    connect(m_zoomIn, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(m_zoomOut, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(m_save, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(m_back, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(m_hScroll1, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_syncing)
            return;
        m_geo.setHScrollValue(v);
        syncFromModel();
    });
    connect(m_vScroll1, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_syncing)
            return;
        m_geo.setVScrollValue(v);
        syncFromModel();
    });

    ApplyWindowFonts(this);
    m_pointer = new PointerRule(this);
    Form_Load();
}

Form2::~Form2() = default;

void Form2::Form_Load()
{
    Guarded proc(QStringLiteral("Form2.Form_Load"));
    proc(10, [&] { ApplyDesignBackground(this); ApplyPlainBackground(this); });
    proc(20, [&] { setWindowTitle(ProductTitle); });
    proc(30, [&] { setWindowIcon(ApplicationIcon()); });
    proc(40, [&] {
        if (auto cursor = LoadHandCursor())
            m_pointer->setCustomPointer(*cursor);
    });
    proc(50, [&] { m_firstActivation = true; });
}

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
    m_loaded = image;
    // Picture1 takes the picture at its own size until the set-up fits the view to it.
    m_shown = QPixmap::fromImage(image);
    m_picture1->setPixmap(m_shown);
    m_picture1->resize(m_shown.size());
    m_geo.setPictureSize(image.width() * TwipsPerPixel, image.height() * TwipsPerPixel);
    // Every new picture gets its own set-up, zoom and scroll ranges.
    m_firstActivation = true;
    if (isVisible() && isActiveWindow())
        Form_Activate();
}

void Form2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Form_Activate();
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
    proc(10, [&] { m_original = m_loaded; });
    proc(20, [&] {
        m_geo.setUp(m_original.width() * TwipsPerPixel, m_original.height() * TwipsPerPixel);
        // setUp has redrawn when the picture fits the zoom limits; paint what the model holds.
        paintPicture(m_geo.pictureWidth(), m_geo.pictureHeight());
    });
    proc(30, [&] { setupScrollBars(); });
    proc(40, [&] { m_firstActivation = false; });
}

void Form2::paintPicture(int widthTwips, int heightTwips)
{
    if (m_original.isNull()) {
        m_shown = QPixmap();
        m_picture1->clear();
        return;
    }
    const QSize size(std::max(1, PixelsOf(widthTwips)), std::max(1, PixelsOf(heightTwips)));
    if (size == m_original.size())
        m_shown = QPixmap::fromImage(m_original);
    else
        m_shown = QPixmap::fromImage(m_original.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_picture1->setPixmap(m_shown);
    m_picture1->resize(size);
}

void Form2::RedrawImage()
{
    Guarded proc(QStringLiteral("Form2.RedrawImage"));
    bool repainted = false;
    proc(10, [&] { repainted = m_geo.redrawImage(); });
    proc(20, [&] {
        if (repainted)
            paintPicture(m_geo.zoomedWidth(), m_geo.zoomedHeight());
    });
    proc(30, [&] {
        if (repainted && !IsBusyPointer(this))
            unsetCursor();
    });
    proc(40, [&] { syncFromModel(); });
}

void Form2::setupScrollBars()
{
    m_geo.setupScrollBars();
    syncFromModel();
}

void Form2::syncFromModel()
{
    m_syncing = true;
    const ScrollBarState& h = m_geo.hScroll();
    const ScrollBarState& v = m_geo.vScroll();
    m_hScroll1->setRange(0, std::max(0, h.maximum));
    m_hScroll1->setValue(h.value);
    m_hScroll1->setEnabled(h.enabled);
    m_vScroll1->setRange(0, std::max(0, v.maximum));
    m_vScroll1->setValue(v.value);
    m_vScroll1->setEnabled(v.enabled);
    m_picture1->move(PixelsOf(m_geo.pictureLeft()), PixelsOf(m_geo.pictureTop()));
    m_syncing = false;
}

void Form2::zoomStep(int direction)
{
    const float candidate = direction == 0 ? m_geo.zoomFactor() + 0.25f : m_geo.zoomFactor() - 0.25f;
    applyZoom(candidate);
}

void Form2::applyZoom(float zoom)
{
    if (zoom >= 0.25f && zoom <= 4.0f) {
        m_geo.setZoomFactor(zoom);
        RedrawImage();
    }
}

void Form2::PushButton1_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton1_Click"));
    proc(10, [&] { zoomStep(0); });
}

void Form2::PushButton2_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton2_Click"));
    proc(10, [&] { zoomStep(1); });
}

void Form2::SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent)
{
    if (HScrollbar == m_hScroll1)
        m_geo.setHScrollbarByPercent(percent);
    syncFromModel();
}

void Form2::SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent)
{
    if (VScrollbar == m_vScroll1)
        m_geo.setVScrollbarByPercent(percent);
    syncFromModel();
}

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
        case QEvent::MouseButtonRelease:
            Picture1_MouseUp();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::picture1_MouseDown(const QPoint& pos)
{
    Guarded proc(QStringLiteral("Form2.picture1_MouseDown"));
    proc(10, [&] { m_geo.mouseDown(pos.x() * TwipsPerPixel, pos.y() * TwipsPerPixel); });
}

void Form2::picture1_MouseMove(const QPoint& pos)
{
    Guarded proc(QStringLiteral("Form2.picture1_MouseMove"));
    proc(10, [&] { m_geo.mouseMove(pos.x() * TwipsPerPixel, pos.y() * TwipsPerPixel); });
    proc(20, [&] { m_picture1->move(PixelsOf(m_geo.pictureLeft()), PixelsOf(m_geo.pictureTop())); });
}

void Form2::Picture1_MouseUp()
{
    Guarded proc(QStringLiteral("Form2.Picture1_MouseUp"));
    // A failing percentage is reported under its own line and counts as 0.
    QList<QPair<int, QString>> failures;
    proc(10, [&] {
        m_geo.mouseUp([&](int step, const char* what) { failures.append({step, QString::fromUtf8(what)}); });
    });
    for (const auto& f : failures)
        proc(f.first * 10, [&] { throw Failure(f.second); });
    proc(30, [&] { syncFromModel(); });
}

void Form2::PushButton6_Click()
{
    Guarded proc(QStringLiteral("Form2.PushButton6_Click"));
    QString path;
    enum class Answer { None, Yes, No } answer = Answer::None;
    proc(10, [&] { path = AskSaveFileName(QStringLiteral("Save File"), QStringLiteral("Excel Files (*.xls)")); });
    if (!path.isEmpty()) {
        proc(20, [&] {
            if (FileExists(path)) {
                const MsgAnswer a = ShowMessage(QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?"),
                                                MsgButtons::YesNo, MsgIcon::None);
                answer = a == MsgAnswer::Yes ? Answer::Yes : Answer::No;
            }
        });
        proc(30, [&] {
            if (!FileExists(path))
                answer = Answer::Yes;
        });
        proc(40, [&] {
            if (answer != Answer::Yes)
                return;
            QFile source(mExcelFile);
            if (!source.open(QIODevice::ReadOnly))
                throw Failure(QStringLiteral("Cannot read the workbook %1: %2").arg(mExcelFile, source.errorString()));
            const QByteArray bytes = source.readAll();
            if (source.error() != QFileDevice::NoError)
                throw Failure(QStringLiteral("Cannot read the workbook %1: %2").arg(mExcelFile, source.errorString()));
            // Whole or not at all: a failed save leaves the user's existing file as it was.
            try {
                sheet::writeFileDurably(path, bytes);
            } catch (const sheet::WriteError& e) {
                throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, e.reason()));
            }
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
