#include "service/messages/route_message.h"

#include "service/response_text.h"
#include "service/xml_cursor.h"

const MessageInfo RouteMessage::kInfo = {"KORVANEROUTE", "ID012", "Retrieve",
                                         false,          "Route", "SettingsWebService"};

RouteMessage::RouteMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString RouteMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneRouteRequest");
    auto datePart = [&d](const char* tag, qsizetype from, qsizetype length) {
        return QLatin1Char('<') + QLatin1String(tag) + QLatin1Char('>') +
               EscapeXml(d.selectedDay.mid(from, length)) + QStringLiteral("</") +
               QLatin1String(tag) + QStringLiteral(">\n");
    };
    return DumpRequest(
        Declaration() + RootStart(element, element, true) + MobileDevice(d) +
        Element(QStringLiteral("PlantDepartment_ID"), Unsigned(d.departmentId)) +
        QStringLiteral("\n<ReferenceDate xmlns=\"\"> \n ") + datePart("year", 0, 4) +
        datePart("month", 4, 2) + datePart("day", 6, 2) + QStringLiteral("</ReferenceDate>\n") +
        Element(QStringLiteral("DateType"),
                d.viewBy == QLatin1String("DELIVERY") ? QStringLiteral("0") : QStringLiteral("1")) +
        QLatin1Char('\n') + RootEnd(element));
}

void RouteMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor root = XmlCursor::LoadDocument(document).Descend("KorvaneRouteResponse");
    d.routes.clear();
    for (const XmlCursor& route : root.FindChild("RouteControl").Children()) {
        d.routes.push_back({route.AttributeInt("RCID"), route.AttributeInt("RNR"),
                            route.AttributeText("D"), route.AttributeInt31("QN"),
                            route.AttributeInt31("QP"), route.AttributeInt31("QC")});
    }
}
