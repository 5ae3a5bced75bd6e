// A scanned note of another route: the worker's route and its counters after
// the plant's rule, and the question when the rule asks.
#include "model/korvo_doc.h"
#include "model/route_change.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(RouteChange, FollowsThePlantRule) {
    const struct {
        const char* name;
        int rule; // AORD
        std::optional<int> changedRcid;
        std::optional<bool> answer; // of the question; none: no question expected
        int routeAfter;
        bool countsCurrent;
    } rows[] = {
        {"keep the route", 0, 55, {}, 12, false},
        {"take over the route", 1, 55, {}, 55, true},
        {"ask, yes", 2, 55, true, 55, true},
        {"ask, no", 2, 55, false, 12, false},
        {"ask nothing for the same route", 2, 12, {}, 12, true},
        {"ask nothing without a route change", 2, {}, {}, 12, true},
        {"an unknown rule changes nothing", 7, 55, {}, 12, true},
        {"take over without a route change keeps the route", 1, {}, {}, 12, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CKorvoDoc doc;
        doc.currentSettings.emplace().AORD = static_cast<std::int16_t>(row.rule);
        doc.currentRoute = RouteControl{12, 101, "Old", 1, 1, 1};
        doc.routeCountsCurrent = true;
        PackingNote& note = doc.currentPackingNote.emplace();
        if (row.changedRcid) {
            note.routeChange = RouteChange{"20240305", *row.changedRcid, 202, "New", 7, 8, 9};
        }
        QStringList asked;
        SettleRouteChange(doc, [&](const QString& question) {
            asked << question;
            return row.answer.value_or(true);
        });
        EXPECT_EQ(doc.currentRoute->RCID, row.routeAfter);
        EXPECT_EQ(doc.routeCountsCurrent, row.countsCurrent);
        EXPECT_EQ(asked.size(), row.answer ? 1 : 0);
        if (row.routeAfter == 55) {
            EXPECT_EQ(doc.currentRoute->D, "New");
            EXPECT_EQ(doc.currentRoute->QC, 9);
        }
    }
}

TEST(RouteChange, TheQuestionNamesBothRoutesAndTheDay) {
    CKorvoDoc doc;
    doc.currentRoute = RouteControl{12, 101, "Old", 1, 1, 1};
    const RouteChange change{"20240305", 55, 202, "New", 7, 8, 9};
    auto t = [&](const char* key) { return doc.T(QString::fromLatin1(key)); };
    EXPECT_EQ(RouteChangeQuestion(doc, change),
              t("msgPnOtherRoute") + "\r\n" + t("msgPnFromRoute") + " 202\r\n" +
                  t("msgPnInsteadOf") + " 101 " + t("msgRouteDay") + " 20240305.\r\n" +
                  t("msgPnContinue") + " 202 ?");
}

TEST(RouteChange, NothingWithoutSettingsRouteOrNote) {
    CKorvoDoc doc;
    EXPECT_EQ(RouteChangeStepFor(doc), RouteChangeStep::Nothing);
    doc.currentSettings.emplace().AORD = 1;
    EXPECT_EQ(RouteChangeStepFor(doc), RouteChangeStep::Nothing);
    doc.currentRoute.emplace();
    EXPECT_EQ(RouteChangeStepFor(doc), RouteChangeStep::Nothing);
    doc.currentPackingNote.emplace();
    EXPECT_EQ(RouteChangeStepFor(doc), RouteChangeStep::TakeOver);
}

} // namespace
