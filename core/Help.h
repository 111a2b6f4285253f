#pragma once

#include <QString>

// The help message: where to send questions.
QString HelpMessageText();

// Shows it (OK only, no icon, the application title).
void ShowHelpMessage();
