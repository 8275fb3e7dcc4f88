#pragma once

#include <QByteArray>
#include <QString>

// The update frames as hexadecimal text, two lower-case characters per byte, the form the
// update dialog shows and queues. The frames themselves come from UpdateFrames: these
// helpers only turn them into text and back, so the frames are defined once.
namespace UpdateText {

// Byte pairs in reverse order ("0000abcd" becomes "cdab0000"); a text of 2 characters or
// fewer is returned as it is. A trailing odd character counts as a pair of its own.
QString Big_to_Little(const QString &str);

// Pads *str on the left with '0' to num characters (longer texts stay as they are) and
// returns the result.
QString fill_hex_data(QString *str, int num);

// The checksum of a frame text: the Fletcher pair over the bytes the text describes from
// character 4 on (after the header), as 4 characters, CK1 first; "0000" for a text of
// fewer than 5 characters.
QString calc_checksum(const QString &str);

// Each character pair as one byte; a pair that is not hexadecimal gives 0, a trailing odd
// character is dropped.
QByteArray QString_to_QByteArray_hex(const QString &sendData);

// The start frame of image as text: it begins "5156ff7100010B00" (that constant in upper
// case); empty for an image the frames cannot describe.
QString generate_update_command(const QByteArray &image);

// Data frame k of packetCount carrying the bytes that str describes (1 to 256 bytes); empty
// when those do not fit a data frame.
QString codePackData(const QString &str, int k, int packetCount);

// The finish frame: "5156ff06000509".
QString codeFinishCommand();

} // namespace UpdateText
