#pragma once

#include <QImage>

#include <functional>

// The picture the spreadsheet automation copied last (Range.CopyPicture), or a null image: the
// program's own clipboard, never the desktop's. Format 0 takes whatever picture it holds; 2
// (bitmap) and 8 (device-independent bitmap) name the same picture here; other formats give no
// picture. Failed attempts are repeated at once, at most 1000 attempts.
QImage GetClipboardPicture(int format = 0);
// The retry loop itself: calls attempt until it gives a picture, at most maxAttempts times.
QImage RetryPicture(const std::function<QImage()>& attempt, int maxAttempts = 1000);
constexpr int ClipboardPictureAttempts = 1000;
