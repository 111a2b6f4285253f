#include "Constants.h"
#include "Failure.h"
#include "ProgramFiles.h"
#include "Pointer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QImageWriter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtEndian>

namespace {

// A cursor file: an icon file with type 2 and the hot spot in the directory entry.
QByteArray MakeCursorFile(int size, QPoint hotSpot)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int i = 0; i < size; ++i)
        image.setPixel(i, i, qRgba(0, 0, 0, 255));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    QByteArray data = buffer.data();
    auto* bytes = reinterpret_cast<uchar*>(data.data());
    qToLittleEndian<quint16>(2, bytes + 2);
    qToLittleEndian<quint16>(hotSpot.x(), bytes + 6 + 4);
    qToLittleEndian<quint16>(hotSpot.y(), bytes + 6 + 6);
    return data;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void Enter(QWidget* widget)
{
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(widget, &event);
}

void Leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

TEST(CursorFile, LoadsWithItsHotSpot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(HandCursorFileName);
    Write(path, MakeCursorFile(32, QPoint(9, 3)));
    const QCursor cursor = LoadCursorFile(path);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(cursor.hotSpot(), QPoint(9, 3));
}

TEST(CursorFile, BrokenOrMissingFileFails)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(HandCursorFileName);
    Write(path, "this is not a cursor");
    EXPECT_THROW(LoadCursorFile(path), Failure);
    EXPECT_THROW(LoadCursorFile(dir.filePath("missing.cur")), Failure);
}

TEST(CursorFile, HandCursorIsOptional)
{
    QTemporaryDir dir;
    SetApplicationPathForTesting(dir.path());
    EXPECT_FALSE(LoadHandCursor().has_value());
    Write(dir.filePath(HandCursorFileName), MakeCursorFile(32, QPoint(0, 0)));
    EXPECT_TRUE(LoadHandCursor().has_value());
    SetApplicationPathForTesting(QString());
}

class PointerRuleTest : public ::testing::Test {
protected:
    PointerRuleTest()
    {
        frame = new QGroupBox("Gender", &window);
        button = new QPushButton("Help", &window);
        list = new QTreeWidget(&window);
        rule = new PointerRule(&window);
        QPixmap hand(16, 16);
        hand.fill(Qt::black);
        rule->setCustomPointer(QCursor(hand, 2, 2));
    }

    QWidget window;
    QGroupBox* frame;
    QPushButton* button;
    QTreeWidget* list;
    PointerRule* rule;
};

TEST_F(PointerRuleTest, ButtonsTakeTheCustomPointerOtherPlacesTheDefault)
{
    Enter(button);
    EXPECT_EQ(window.cursor().shape(), Qt::BitmapCursor);
    Leave(button);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    Enter(button);
    Enter(frame);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    Enter(button);
    Enter(list->viewport());
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    Enter(button);
    Enter(&window);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PointerRuleTest, BusyPointerIsLeftAlone)
{
    SetBusyPointer(&window, true);
    EXPECT_TRUE(IsBusyPointer(&window));
    Enter(button);
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    Enter(frame);
    Leave(button);
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    SetBusyPointer(&window, false);
    EXPECT_FALSE(IsBusyPointer(&window));
    Enter(button);
    EXPECT_EQ(window.cursor().shape(), Qt::BitmapCursor);
}

TEST_F(PointerRuleTest, WithoutCursorFileButtonsShowTheArrow)
{
    rule->setCustomPointer(QCursor(Qt::ArrowCursor));
    Enter(button);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

} // namespace
