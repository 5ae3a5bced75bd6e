#include "service/transport_errors.h"

#include "service/service_transport.h"

namespace {

enum class Shows { CodeOnly, Translation, Fixed };

struct ErrorRow {
    std::uint32_t first;
    std::uint32_t last;
    Shows shows;
    const char* text; // translation key or fixed text
};

// Codes in ascending order; a code in no row shows "msgErrIntNotDefined".
constexpr ErrorRow kErrorRows[] = {
    {TransportCode::NotEnoughMemory, TransportCode::NotEnoughMemory, Shows::Fixed,
     "The answer of the web service is too large."},
    {TransportCode::TimeoutNoAction, TransportCode::TimeoutNoAction, Shows::Translation,
     "msgErrInt20"},
    {TransportCode::TimeoutWithAction, TransportCode::TimeoutWithAction, Shows::Translation,
     "msgErrInt60"},
    {12001, 12001, Shows::CodeOnly, nullptr},
    {12002, 12002, Shows::Translation, "msgTimeOut"},
    {12003, 12004, Shows::CodeOnly, nullptr},
    {12005, 12005, Shows::Translation, "msgURLInvalid"},
    {12006, 12006, Shows::Translation, "msgIntErr12006"},
    {12007, 12007, Shows::Translation, "msgServerNameInv"},
    {12008, 12008, Shows::Translation, "msgIntErr12008"},
    {12009, 12026, Shows::CodeOnly, nullptr},
    {12027, 12027, Shows::Translation, "msgIntErr12019"},
    {12028, 12028, Shows::CodeOnly, nullptr},
    {12029, 12029, Shows::Translation, "msgIntErr12029"},
    {12030, 12030, Shows::Translation, "msgIntErrConectionEnd"},
    {12031, 12031, Shows::Translation, "msgIntErr12031"},
    {12036, 12036, Shows::Fixed, "Request failed because the handle already exists."},
    {12037, 12037, Shows::Fixed,
     "SSL certificate date that was received from the server is bad. The certificate is "
     "expired."},
    {12152, 12152, Shows::CodeOnly, nullptr},
    {12156, 12156, Shows::CodeOnly, nullptr},
    {12163, 12163, Shows::Translation, "msgIntErr12163"},
};

} // namespace

QString TransportErrorText(std::uint32_t code, const TranslationTable& translations) {
    if (code == 0) {
        return QString();
    }
    QString text = code >= 12000 ? QString::number(code) + QStringLiteral(": ") : QString();
    for (const ErrorRow& row : kErrorRows) {
        if (code < row.first || code > row.last) {
            continue;
        }
        switch (row.shows) {
        case Shows::CodeOnly:
            return text;
        case Shows::Translation:
            return text + translations.T(QLatin1String(row.text));
        case Shows::Fixed:
            return text + QLatin1String(row.text);
        }
    }
    return text + translations.T(QStringLiteral("msgErrIntNotDefined"));
}
