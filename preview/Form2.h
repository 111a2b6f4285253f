#pragma once

#include "PreviewGeometry.h"
#include "SheetViews.h"

#include <QImage>
#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QGroupBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class QScrollBar;
class QTabBar;
class QWheelEvent;
class FocusRing;
class PointerRule;
class WindowSizeMemory;

namespace sheet {
class Workbook;
}

// The preview window: the captured picture of the filled data sheet with zoom, scroll bars
// and dragging, a tab for each sheet of the workbook (charts drawn by the engine when their
// tab is shown), and the commands that save the workbook or a PDF report, or leave.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* mainWindow);
    ~Form2() override;

    // Full path of the temporary workbook this preview shows.
    QString mExcelFile;

    // Loads the picture file into Picture1; the next activation sets the view up for it.
    // A new picture belongs to a new workbook: the tabs go back to the data sheet and the
    // old workbook and chart pictures are dropped.
    void LoadPicture(const QString& path);
    void SetPicture(const QImage& image);

    // Runs when a close is asked for, after the temporary workbook is gone; ends the program
    // unless a test replaces it.
    void SetProgramEnd(std::function<void()> end) { m_programEnd = std::move(end); }

    void PushButton1_Click();        // Zoom In
    void PushButton2_Click();        // Zoom Out
    void PushButton6_Click();        // Save Results To Excel File
    void PushButton8_Click();        // < Back
    void TabStrip1_Click(int index); // shows that tab's sheet
    void SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent);
    void SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent);

    // The geometry of the tab on screen.
    const PreviewGeometry& geometryModel() const { return m_sheets.view().geo; }
    const PreviewLayout& layoutModel() const { return m_layout; }
    QLabel* picture() const { return m_picture1; }
    QFrame* viewport() const { return m_picture2; }
    QScrollBar* hScrollBar() const { return m_hScroll1; }
    QScrollBar* vScrollBar() const { return m_vScroll1; }
    QTabBar* tabStrip() const { return m_tabStrip1; }
    FocusRing* focusRing() const { return m_focusRing; }
    bool pictureShown() const { return !m_sheets.view().shown.isNull(); }
    QSize shownPictureSize() const;
    // The tab on screen and the sheet it shows.
    int currentTab() const { return m_sheets.current(); }
    const SheetTab& currentSheet() const { return m_sheets.view().tab; }
    // The workbook the chart tabs and the report are drawn from: opened when first needed,
    // kept until the next picture.
    const sheet::Workbook* openedWorkbook() const { return m_sheets.workbook(); }
    // How many chart or sheet pictures were drawn since the last picture (drawn lazily).
    int drawnSheetPictures() const { return m_sheets.drawnPictures(); }

    // Where the window may go: the available area of the main window's screen and the
    // window frame's margins. Tests give their own; an empty source restores the screen's.
    struct ScreenArea {
        QRect available;
        QMargins frame;
    };
    static void SetScreenAreaForTesting(std::function<ScreenArea()> source);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    void RedrawImage();
    void setupScrollBars();
    void zoom(int direction);
    void picture1_MouseDown(const QPoint& pos);
    void picture1_MouseMove(const QPoint& pos);
    void Picture1_MouseUp();
    bool Form_QueryUnload();
    void Form_Unload();

    void createControls();
    void connectControls();
    PreviewGeometry& geo() { return m_sheets.view().geo; }
    void resetTabs();
    void readTabs();
    void rebuildTabStrip();
    void setUpView(SheetView& v);
    void showView();
    void nameViewport();
    void openWorkbook();
    void syncFromModel();
    void paintPicture(SheetView& v, int widthTwips, int heightTwips);

    void placeOnScreen();
    void applyLayout(const PreviewLayout& layout);
    ScreenArea screenArea() const;
    bool handleKey(QObject* watched, QKeyEvent* event);
    bool handleWheel(QWheelEvent* event, Qt::Orientation barOrientation);
    void switchTab(int step);
    void saveWorkbookCopy(const QString& path);
    void savePdfReport(const QString& path);

    QWidget* m_mainWindow;
    PreviewLayout m_layout = PreviewLayout::design();
    SheetViews m_sheets;
    bool m_firstActivation = true;
    bool m_sizeRestored = false; // the remembered size is given once, at the first showing
    WindowSizeMemory* m_size = nullptr;
    bool m_syncing = false;
    bool m_rebuildingTabs = false;
    bool m_checkFrame = false; // the real frame is known only once the window is on screen
    QMargins m_assumedFrame;
    int m_wheelZoom = 0; // wheel turn towards the next zoom step, in eighths of a degree
    std::function<void()> m_programEnd;

    QFrame* m_picture2 = nullptr;
    QWidget* m_picture2Inner = nullptr;
    QLabel* m_picture1 = nullptr;
    QScrollBar* m_hScroll1 = nullptr;
    QScrollBar* m_vScroll1 = nullptr;
    QTabBar* m_tabStrip1 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QPushButton* m_zoomIn = nullptr;
    QPushButton* m_zoomOut = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_back = nullptr;
    PointerRule* m_pointer = nullptr;
    FocusRing* m_focusRing = nullptr;
};
