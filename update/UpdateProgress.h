#pragma once

#include <QMetaType>
#include <QString>

// Where a running update transfer stands.
struct UpdateProgress
{
    int percent = 0;            // the progress bar: see percentAfter(); 100 on success
    int framesAcknowledged = 0; // the start frame counts as frame 1
    int frames = 0;             // in the transfer: P + 2
    qint64 bytesSent = 0;       // image bytes in acknowledged frames
    qint64 totalBytes = 0;      // the image size
    double bytesPerSecond = 0;  // bytesSent over the time since the start
    double secondsLeft = -1;    // the rest at that rate; -1 while no rate is known
    int resends = 0;            // frames sent again in the whole transfer

    // The bar's percentage after frame i (0 the start frame, 1 to P the data frames) is
    // acknowledged: floor(i × 100 / (P + 1)). A 1028-byte image (P = 4) gives 0, 20, 40, 60,
    // 80, then 100 on success.
    static int percentAfter(int frameIndex, int packetCount);

    // The bar's text, e.g. "40% · 412.0 / 1028.0 KiB · 85.3 KiB/s · 7 s left · 2 resends",
    // in the current language; the rate and the time left once they are known, the
    // resends once there are any.
    QString text() const;
};

Q_DECLARE_METATYPE(UpdateProgress)
