#pragma once

#include <QString>

// The title cut at its last blank, repeated while longer than 40 characters, at least once.
// A title without a blank is kept whole (cut to 40 characters when longer).
QString ShortenedTitle(const QString& title);
// Makes the shortened product title the application title.
void ApplyApplicationTitle();
// The application title: the title of every message box that names none of its own. Before
// ApplyApplicationTitle it is the shortened product title all the same.
QString ApplicationTitle();
