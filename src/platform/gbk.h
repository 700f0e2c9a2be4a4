#pragma once
#include <QString>
#include <optional>
#include <string_view>

#include "platform/text.h"

// GBK <-> the UTF-16 the widgets draw. Decoding never fails: a byte that is not part of a
// valid GBK character becomes U+DC80 + (byte - 0x80) (or U+DC00 + byte), a lone surrogate
// that encodes back to the very same byte, so untouched text survives a round trip.
QString decodeGbk(const Text& bytes);

// Encodes what the operator typed; nothing when a character has no GBK form.
std::optional<Text> encodeGbk(const QString& text);

// The GBK Text of a UTF-8 literal of the source code (fixed texts of the system).
Text gbk(std::string_view utf8);
