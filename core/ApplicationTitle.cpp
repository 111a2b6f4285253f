#include "ApplicationTitle.h"

#include "Constants.h"

#include <QGuiApplication>

namespace {

QString& AppliedTitle()
{
    static QString title;
    return title;
}

} // namespace

QString ShortenedTitle(const QString& title)
{
    constexpr int Longest = 40;
    QString result = title;
    if (!result.contains(QLatin1Char(' ')))
        return result.left(Longest);
    do {
        const int blank = result.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) {
            result.truncate(Longest);
            break;
        }
        result.truncate(blank);
    } while (result.size() > Longest);
    return result;
}

void ApplyApplicationTitle()
{
    AppliedTitle() = ShortenedTitle(ProductTitle);
    QGuiApplication::setApplicationDisplayName(AppliedTitle());
}

QString ApplicationTitle()
{
    if (AppliedTitle().isEmpty())
        return ShortenedTitle(ProductTitle);
    return AppliedTitle();
}
