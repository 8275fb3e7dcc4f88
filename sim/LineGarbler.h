#pragma once

#include <QByteArray>

// What a UART receiver set to rxBaud makes of bytes sent at txBaud (8N1: a start bit, eight
// data bits LSB first, a stop bit). The bytes are laid out as one continuous bit stream and
// sampled at the middle of each receiver bit after every falling edge, as a real receiver
// does; equal rates pass the bytes unchanged.
namespace LineGarbler {

QByteArray receive(const QByteArray &sent, int txBaud, int rxBaud);

} // namespace LineGarbler
