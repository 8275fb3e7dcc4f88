#pragma once

#include "protocol/UpdateFrames.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A firmware image as the update transfer takes it: whether the frames can describe it, the
// frames themselves, and the file loader. Pure functions, Qt Core only; safe on any thread.
namespace UpdateImage {

// The sizes the frames can describe: the start frame reads image bytes 12 to 14; at most
// 65535 data frames of 256 bytes follow the 4 bytes that travel in the start frame.
constexpr int MinSize = UpdateFrames::MinImageSize;
constexpr int MaxSize = 4 + UpdateFrames::MaxPackets * UpdateFrames::PacketSize;

enum class Verdict
{
    Ok,
    Empty,
    TooShort,  // under MinSize bytes
    TooLarge,  // more than MaxSize bytes
    Unreadable // the file could not be opened or read
};

// Whether image can be sent. Cost: O(1).
Verdict check(const QByteArray &image);

// The message item for a refused image (both languages, by the language flag); empty for Ok.
QString refusalText(Verdict verdict);

// Every frame of a transfer, in sending order: the start frame, data frames 1 to P, the
// finish frame (P + 2 frames). Empty when check() refuses the image. Cost: O(image size).
QVector<QByteArray> frames(const QByteArray &image);

// Image bytes that frame i of frames() carries: 4 for the start frame (image bytes 0 to 3;
// bytes 12 to 14 travel again in the data frames), m for data frame i, 0 for the finish
// frame and for indexes out of range. The sum over all frames is the image size.
int imageBytesOf(int imageSize, int frameIndex);

struct Loaded
{
    Verdict verdict = Verdict::Unreadable;
    QByteArray image; // the whole file when verdict is Ok, else empty
    QString message;  // refusalText(verdict); empty for Ok
};
// Reads the file at path. Reads at most MaxSize + 1 bytes, so a huge file or a device that
// never ends is refused as too large without being read whole.
Loaded load(const QString &path);

} // namespace UpdateImage
