#include "EntryTableModel.h"
#include "LogModel.h"
#include "ShortTextDelegate.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QStyleOptionViewItem>
#include <QTreeView>

namespace {

TEST(ShortTextDelegate, AHugeFieldShowsShortenedAndStaysWhole)
{
    LogModel log;
    log.setColumns({QStringLiteral("Date"), QStringLiteral("Weight")});
    EntryTableModel table(log);
    QTreeView list;
    list.setModel(&table);
    auto* delegate = new ShortTextDelegate(&list);
    list.setItemDelegate(delegate);
    const QString huge(5 * 1024 * 1024, QLatin1Char('7'));
    log.appendEntries({{QStringLiteral("6/10/2004"), huge}});

    const QModelIndex field = list.model()->index(0, 1);
    const QString shown = delegate->displayText(field.data(), QLocale());
    EXPECT_EQ(shown, QString(ShortTextDelegate::MaxShown, QLatin1Char('7')) + QChar(0x2026));
    QStyleOptionViewItem option;
    option.initFrom(&list);
    EXPECT_LT(delegate->sizeHint(option, field).width(), 10000);
    // The entry keeps every character.
    EXPECT_EQ(log.field(1, 1).size(), huge.size());
    // Short fields show as they are; a cut never splits a character in two.
    EXPECT_EQ(delegate->displayText(QStringLiteral("6/10/2004"), QLocale()), "6/10/2004");
    const QString emoji
        = QString(ShortTextDelegate::MaxShown - 1, QLatin1Char('x')) + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_FALSE(delegate->displayText(emoji + "tail", QLocale()).contains(QChar(0xD83D)));
}

} // namespace
