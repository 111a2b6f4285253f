#include "base/CellNames.h"

#include "base/SheetLimits.h"

namespace sheet {

QString columnName(int col)
{
    QString name;
    int c = col + 1;
    while (c > 0) {
        const int rem = (c - 1) % 26;
        name.prepend(QChar('A' + rem));
        c = (c - 1) / 26;
    }
    return name;
}

QString cellName(int row, int col) { return columnName(col) + QString::number(row + 1); }

bool parseCellName(const QString& text, int* row, int* col)
{
    int i = 0;
    const int n = text.size();
    if (i < n && text[i] == QLatin1Char('$'))
        ++i;
    int c = 0;
    int letters = 0;
    while (i < n && text[i].isLetter() && text[i].unicode() < 128) {
        c = c * 26 + (text[i].toUpper().unicode() - 'A' + 1);
        ++i;
        if (++letters > 3)
            return false;
    }
    if (letters == 0)
        return false;
    if (i < n && text[i] == QLatin1Char('$'))
        ++i;
    long r = 0;
    int digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        r = r * 10 + (text[i].unicode() - '0');
        ++i;
        if (++digits > 6)
            return false;
    }
    if (digits == 0 || i != n || r < 1 || r > kMaxRows || c > kMaxCols)
        return false;
    *row = static_cast<int>(r - 1);
    *col = c - 1;
    return true;
}

} // namespace sheet
