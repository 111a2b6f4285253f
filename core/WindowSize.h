#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

class QWidget;

// A window's size remembered across runs, under a key of the settings' "Kalmora" group, as
// "WIDTHxHEIGHT" in pixels. The size is stored a moment after the user stops resizing and
// when the window closes or hides.
class WindowSizeMemory : public QObject {
    Q_OBJECT
public:
    // procedure names the error report of a failed store ("Form1.Form_Resize").
    WindowSizeMemory(QWidget* window, const QString& key, const QString& procedure);

    // Gives the window its remembered size, no smaller than its minimum and no larger than
    // the screen's available area; nothing when no readable size is stored.
    void restore();
    // Stores the window's size when it differs from the stored one. A failure is reported.
    void store();

    // "536x379" → 536 x 379; an invalid size for anything else.
    static QSize ParseSize(const QString& text);
    static QString SizeText(const QSize& size);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QString m_key;
    QString m_procedure;
    QTimer m_pending;
    bool m_restoring = false;
};
