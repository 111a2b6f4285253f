#include "Help.h"

#include "Constants.h"
#include "MessageBox.h"

QString HelpMessageText() { return QStringLiteral("Questions? Please contact Team Pendrel at ") + ContactWebAddress; }

void ShowHelpMessage() { ShowMessage(HelpMessageText(), MsgButtons::Ok, MsgIcon::None); }
