#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace mavrel {

// Where a field is written, which decides the bytes the file format cannot carry there.
enum class FieldPlacement
{
    // A plain field of a catalogue line: "|", CR and LF would split the field or the line.
    Plain,
    // The catalogue's scrambled address field: the plain bytes that scramble to "|", LF and
    // CR (27, 168, 171), and byte 255, which scrambling cannot carry.
    Scrambled,
    // A field of a four-field line (scrambled as a whole, split on "|" after unscrambling):
    // the bytes of Scrambled plus a plain "|".
    InScrambledLine,
};

enum class FieldContent
{
    Text,    // shown to the user
    Address, // a stream address: the forbidden bytes are percent-encoded, the same address
};

bool isCarriable(QByteArrayView bytes, FieldPlacement placement);

// The bytes to write for a field so that the line reads back with the same fields. Carriable
// bytes come back unchanged. An address gets its forbidden bytes percent-encoded. A text that
// is UTF-8 is written in Windows-1252 when that form is carriable and still displays the same;
// otherwise each character that cannot be carried becomes "?" ("|", CR and LF a space).
QByteArray makeCarriable(QByteArrayView bytes, FieldPlacement placement, FieldContent content);

} // namespace mavrel
