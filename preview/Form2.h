#pragma once

#include "PreviewGeometry.h"

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>

class QGroupBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;
class PointerRule;

// The preview window: the captured picture of the filled data sheet with zoom, scroll bars
// and dragging, and the commands that save the workbook or leave.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* mainWindow);
    ~Form2() override;

    // Full path of the temporary workbook this preview shows.
    QString mExcelFile;

    // Loads the picture file into Picture1; the next activation sets the view up for it.
    void LoadPicture(const QString& path);
    void SetPicture(const QImage& image);

    // Runs when a close is asked for, after the temporary workbook is gone; ends the program
    // unless a test replaces it.
    void SetProgramEnd(std::function<void()> end) { m_programEnd = std::move(end); }

    void PushButton1_Click(); // Zoom In
    void PushButton2_Click(); // Zoom Out
    void PushButton6_Click(); // Save Results To Excel File
    void PushButton8_Click(); // < Back
    void SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent);
    void SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent);

    const PreviewGeometry& geometryModel() const { return m_geo; }
    QLabel* picture() const { return m_picture1; }
    QScrollBar* hScrollBar() const { return m_hScroll1; }
    QScrollBar* vScrollBar() const { return m_vScroll1; }
    bool pictureShown() const { return !m_shown.isNull(); }
    QSize shownPictureSize() const { return m_shown.size(); }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    void RedrawImage();
    void setupScrollBars();
    void zoomStep(int direction);
    void applyZoom(float zoom);
    void picture1_MouseDown(const QPoint& pos);
    void picture1_MouseMove(const QPoint& pos);
    void Picture1_MouseUp();
    bool Form_QueryUnload();
    void Form_Unload();

    void syncFromModel();
    void paintPicture(int widthTwips, int heightTwips);

    QWidget* m_mainWindow;
    PreviewGeometry m_geo;
    QImage m_loaded;       // what Picture1 was given
    QImage m_original;     // the unscaled store every redraw starts from
    QPixmap m_shown;
    bool m_firstActivation = true;
    bool m_syncing = false;
    std::function<void()> m_programEnd;

    QFrame* m_picture2 = nullptr;
    QLabel* m_picture1 = nullptr;
    QScrollBar* m_hScroll1 = nullptr;
    QScrollBar* m_vScroll1 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QPushButton* m_zoomIn = nullptr;
    QPushButton* m_zoomOut = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_back = nullptr;
    PointerRule* m_pointer = nullptr;
};
