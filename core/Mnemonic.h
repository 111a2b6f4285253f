#pragma once

#include <QChar>

class QAbstractButton;

// Alt + a letter presses a button whose caption must stay exactly as it is (an "&" in it
// would change the text the program and its users rely on). The letter is shown underlined
// in the caption all the same, the key is named in the tooltip, and Alt + the letter
// presses the button.
void SetMnemonic(QAbstractButton* button, QChar letter);

// The caption with "&" before the first occurrence of letter (either case), other "&"
// doubled: what the button draws. Without the letter, the caption with its "&" doubled.
QString MnemonicCaption(const QString& caption, QChar letter);
