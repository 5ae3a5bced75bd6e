#pragma once

#include "config/translation_table.h"

#include <QString>
#include <cstdint>

// The text of the error box for a transport failure code: "<code>: " for
// platform codes from 12000 up, then the row's text (a translation or a fixed
// English sentence) unless the row shows the code only. Empty for code 0.
QString TransportErrorText(std::uint32_t code, const TranslationTable& translations);
