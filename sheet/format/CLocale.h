#pragma once

#include <QLocale>

namespace sheet {

// The C and POSIX locales name no conventions of their own; spreadsheet applications read
// them as US English (dates "6/10/2004", month first; "." before decimals). A program calls
// this at the start of main, before anything asks QLocale() for its conventions.
inline void useUsEnglishForCLocale()
{
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace sheet
