#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace mavrel {

// Every byte that is not an unreserved URL character (A-Z a-z 0-9 - . _ ~) becomes %XX, so a
// query value reaches the server as exactly these bytes whatever they hold ("&", "#", "%", "+",
// blanks, control bytes, bytes of any code page).
QByteArray percentEncodeBytes(QByteArrayView bytes);

// An address as typed or stored, made safe for the wire: blanks, control bytes and bytes of 128
// and above are percent-encoded; everything else, existing %XX escapes included, is left alone.
QByteArray encodeAddressBytes(QByteArrayView address);

// Puts "http://" in front of an address that holds no "http://" anywhere (any letter case).
QByteArray withHttpPrefix(const QByteArray &address);

} // namespace mavrel
