#include "ClipboardPicture.h"

#include "automation/Automation.h"

QImage RetryPicture(const std::function<QImage()>& attempt, int maxAttempts)
{
    for (int i = 0; i < maxAttempts; ++i) {
        try {
            QImage picture = attempt();
            if (!picture.isNull())
                return picture;
        } catch (...) {
            // A failed attempt is simply repeated.
        }
    }
    return QImage();
}

QImage GetClipboardPicture(int format)
{
    constexpr int AnyPicture = 0;
    constexpr int Bitmap = 2;
    constexpr int DeviceIndependentBitmap = 8;
    if (format != AnyPicture && format != Bitmap && format != DeviceIndependentBitmap)
        return QImage();
    // The picture travels inside the program; the desktop's clipboard keeps what the user copied.
    return RetryPicture([] { return sheet::automation::copiedPicture(); }, ClipboardPictureAttempts);
}
