#include "model/route_change.h"

#include "model/korvo_doc.h"
#include "model/work_kinds.h"

namespace {

void takeOverRoute(const RouteChange& change, RouteControl& route) {
    route.RCID = change.RCID;
    route.RNR = change.RNR;
    route.D = change.D;
    route.QN = change.QN;
    route.QP = change.QP;
    route.QC = change.QC;
}

} // namespace

RouteChangeStep RouteChangeStepFor(const CKorvoDoc& doc) {
    if (!doc.currentSettings || !doc.currentRoute || !doc.currentPackingNote) {
        return RouteChangeStep::Nothing;
    }
    switch (RouteChangeRuleOf(doc.currentSettings->AORD)) {
    case RouteChangeRule::KeepRoute:
        return RouteChangeStep::StopCounting;
    case RouteChangeRule::TakeOver:
        return RouteChangeStep::TakeOver;
    case RouteChangeRule::Ask: {
        const std::optional<RouteChange>& change = doc.currentPackingNote->routeChange;
        return change && change->RCID != doc.currentRoute->RCID ? RouteChangeStep::Ask
                                                                : RouteChangeStep::Nothing;
    }
    case RouteChangeRule::Unknown:
        break;
    }
    return RouteChangeStep::Nothing;
}

QString RouteChangeQuestion(const CKorvoDoc& doc, const RouteChange& change) {
    const QString blank = QStringLiteral(" ");
    const QString lineBreak = QStringLiteral("\r\n");
    const std::int32_t current = doc.currentRoute ? doc.currentRoute->RNR : 0;
    return doc.T(QStringLiteral("msgPnOtherRoute")) + lineBreak +
           doc.T(QStringLiteral("msgPnFromRoute")) + blank + QString::number(change.RNR) +
           lineBreak + doc.T(QStringLiteral("msgPnInsteadOf")) + blank + QString::number(current) +
           blank + doc.T(QStringLiteral("msgRouteDay")) + blank + change.FD + QStringLiteral(".") +
           lineBreak + doc.T(QStringLiteral("msgPnContinue")) + blank +
           QString::number(change.RNR) + blank + QStringLiteral("?");
}

void SettleRouteChange(CKorvoDoc& doc, const std::function<bool(const QString& question)>& ask) {
    bool takeOver = false;
    switch (RouteChangeStepFor(doc)) {
    case RouteChangeStep::Nothing:
        return;
    case RouteChangeStep::StopCounting:
        break;
    case RouteChangeStep::TakeOver:
        takeOver = true;
        break;
    case RouteChangeStep::Ask:
        takeOver = ask(RouteChangeQuestion(doc, *doc.currentPackingNote->routeChange));
        break;
    }
    doc.routeCountsCurrent = takeOver;
    // An answer without a route change names no other route: the worker keeps
    // his (taking over an empty one would send route 0 with every later scan).
    const std::optional<RouteChange>& change = doc.currentPackingNote->routeChange;
    if (takeOver && change) {
        takeOverRoute(*change, *doc.currentRoute);
    }
}
