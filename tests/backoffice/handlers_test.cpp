#include "backoffice/print.h"
#include "backoffice/xml_text.h"
#include "backoffice_fixture.h"

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string kNewNote = bo::DemoNoteNumber(0, 101, 4); // route 101 today, new
const std::string kDoneNote = bo::DemoNoteNumber(0, 101, 1);

std::string settings(const std::string& plant, const std::string& handheld) {
    return RequestDocument("KorvaneSettingsRequest", {{"PlantCode", plant}, {"PDACode", handheld}});
}

std::string routeRequest(const std::string& department, const std::string& day, int dateType) {
    return RequestDocument(
        "KorvaneRouteRequest", {{"MobileDevice_ID", "1"}, {"PlantDepartment_ID", department}},
        "<ReferenceDate xmlns=\"\"> \n <year>" + day.substr(0, 4) + "</year>\n<month>" +
            day.substr(5, 2) + "</month>\n<day>" + day.substr(8, 2) + "</day>\n</ReferenceDate>\n" +
            "<DateType xmlns=\"\">" + std::to_string(dateType) + "</DateType>\n");
}

} // namespace

using Handlers = EngineTest;

TEST_P(Handlers, SettingsAnswerOnlyRegisteredOrDemoHandhelds) {
    struct Case {
        const char* name;
        std::string plant, handheld, outcome, deviceId;
    } cases[] = {
        {"registered", "1000", "HH01", "OK", "1"},
        {"demo plant registers a new handheld", "1000", "HH77", "OK", "6"},
        {"the same new handheld again", "1000", "HH77", "OK", "6"},
        {"unknown plant", "9999", "HH01", "1", ""},
        {"SQL in the plant code", "1000' OR '1'='1", "HH01", "1", ""},
        {"a backslash, a quote and a second statement", "1000\\'); DELETE FROM devices; --", "HH01",
         "1", ""},
        {"no handheld code", "1000", "", "1", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reply = call("KORVANESETTINGS", settings(c.plant, c.handheld));
        EXPECT_EQ(reply->outcome, c.outcome);
        EXPECT_EQ(reply->attribute("Settings", "MDID"), c.deviceId);
        if (c.outcome == "1") {
            EXPECT_EQ(reply->message, bo::kInvalidUserMessage);
        }
    }
    EXPECT_EQ(count("devices"), 6);
    const auto reply = call("KORVANESETTINGS", settings("1000", "HH01"));
    EXPECT_EQ(reply->attribute("Settings", "DNENR"), "true");
    EXPECT_EQ(reply->attribute("Plant", "PN"), "Korvane Fresh Distribution");
    EXPECT_EQ(reply->attribute("Settings", "PDID"), "1");
    int ranges = 0;
    for (pugi::xml_node r : reply->root().child("ContainerIDCodeRange").children()) {
        ranges += r.attribute("L").as_int() > 0 ? 1 : 0;
    }
    EXPECT_EQ(ranges, 2);
    EXPECT_EQ(reply->root().child("PlantDepartments").last_child().attribute("PDD").value(),
              std::string("Dry goods"));
}

TEST_P(Handlers, EmployeeByNumberInTheDevicesPlant) {
    struct Case {
        const char* number;
        const char* outcome;
        const char* name;
    } cases[] = {{"1001", "OK", "Anna Berger"},
                 {"1008", "OK", "Karl Weber"},
                 {"9999", bo::Codes::EmployeeUnknown, ""},
                 {"12abc", "1", ""},
                 {"99999999999999999999999", "1", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const auto reply =
            call("KORVANEEMPLOYEE",
                 RequestDocument("KorvaneEmployeeRequest",
                                 {{"MobileDevice_ID", "1"}, {"EmployeeNumber", c.number}}));
        EXPECT_EQ(reply->outcome, c.outcome);
        EXPECT_EQ(reply->attribute("Employee", "N"), c.name);
    }
}

TEST_P(Handlers, RoutesOfADayWithCountersFromTheNoteStates) {
    const auto reply = call("KORVANEROUTE", routeRequest("1", kDay, 0));
    ASSERT_EQ(reply->outcome, "OK");
    std::vector<std::string> rows;
    for (pugi::xml_node route : reply->root().child("RouteControl").children()) {
        rows.push_back(std::string(route.attribute("RNR").value()) + " " +
                       route.attribute("D").value() + " " + route.attribute("QN").value() + "/" +
                       route.attribute("QP").value() + "/" + route.attribute("QC").value());
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"101 North Harbour 3/1/2", "102 Old Town 3/1/2",
                                              "103 Riverside 3/1/2"}));

    EXPECT_EQ(call("KORVANEROUTE", routeRequest("4294967295", kDay, 0))
                  ->root()
                  .child("RouteControl")
                  .select_nodes("RouteControl")
                  .size(),
              9u)
        << "no department: every department";
    EXPECT_EQ(call("KORVANEROUTE", routeRequest("1", bo::AddDays(kDay, -1), 1))
                  ->root()
                  .child("RouteControl")
                  .first_child()
                  .attribute("QN")
                  .as_int(),
              3)
        << "by production day, the day before delivery";
    EXPECT_EQ(call("KORVANEROUTE", routeRequest("1", "2026-02-30", 0))->outcome, "1");
    EXPECT_EQ(call("KORVANEROUTE", routeRequest("1", kDay, 7))->outcome, "1");

    packingNote(1, 0, std::to_string(note(kNewNote).id));
    EXPECT_EQ(call("KORVANEROUTE", routeRequest("1", kDay, 0))
                  ->root()
                  .child("RouteControl")
                  .first_child()
                  .attribute("QP")
                  .as_int(),
              2)
        << "an opened note counts as in progress";
}

TEST_P(Handlers, ListsOfARouteByState) {
    const auto list = [this](bo::Id route, const char* action) {
        return call("KORVANEPACKINGNOTELIST",
                    RequestDocument("KorvanePackingNoteListRequest",
                                    {{"MobileDevice_ID", "1"},
                                     {"RouteControl_ID", std::to_string(route)},
                                     {"PlantDepartment_ID", "1"},
                                     {"Action", action}}));
    };
    struct Case {
        const char* action;
        std::vector<int> stops;
    } cases[] = {{"0", {4, 5, 6}}, {"1", {3}}, {"2", {1, 2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        const auto reply = list(routeId(101), c.action);
        std::vector<std::string> numbers;
        for (pugi::xml_node n : reply->root().child("PackingNote").children()) {
            numbers.push_back(n.attribute("NNR").value());
            EXPECT_EQ(n.attribute("SP").value(),
                      std::string(numbers.size() == 3 ? "true" : "false"));
        }
        std::vector<std::string> expected;
        for (int stop : c.stops) {
            expected.push_back(bo::DemoNoteNumber(0, 101, stop));
        }
        EXPECT_EQ(numbers, expected);
    }
    EXPECT_NE(list(routeId(101), "2")
                  ->root()
                  .child("PackingNote")
                  .first_child()
                  .attribute("PNCN")
                  .as_int(),
              0)
        << "done notes have their colli";
    EXPECT_EQ(list(987654, "0")->outcome, bo::Codes::RouteUnknown);
    EXPECT_EQ(list(routeId(101), "3")->outcome, "1");
}

TEST_P(Handlers, OpeningHoldsTheNoteAndLeavingUntouchedMakesItNewAgain) {
    const bo::Id id = note(kNewNote).id;
    auto opened = packingNote(1, 0, std::to_string(id));
    ASSERT_EQ(opened->outcome, "OK");
    EXPECT_EQ(opened->attribute("PackingNote", "NNR"), kNewNote);
    EXPECT_EQ(opened->attribute("PackingNote", "SC"), "10") << "the device counts it from new";
    EXPECT_EQ(opened->root().child("PackingNoteDetails").child_value("DD"),
              std::string("Fresh produce"));
    EXPECT_EQ(note(kNewNote).status, bo::NoteStatus::InProgress);
    EXPECT_EQ(note(kNewNote).heldBy, 1);

    EXPECT_EQ(packingNote(1, 3, "")->attribute("PackingNote", "PNID"), std::to_string(id));
    EXPECT_EQ(note(kNewNote).status, bo::NoteStatus::New);
    EXPECT_FALSE(note(kNewNote).heldBy);

    packingNote(1, 0, std::to_string(id));
    delivered(1, id, {{lines(id).front().id, 1}});
    // Held and opened again (from the in-progress list): the handheld counted
    // it in progress when it held it.
    EXPECT_EQ(packingNote(1, 0, std::to_string(id))->attribute("PackingNote", "SC"), "20");
    packingNote(1, 3, "");
    EXPECT_EQ(note(kNewNote).status, bo::NoteStatus::InProgress) << "work was recorded";

    // Hold with every quantity confirmed as it stood sends no line; the
    // handheld counts the note in progress all the same.
    const bo::Id confirmed = note(bo::DemoNoteNumber(0, 101, 6)).id;
    packingNote(1, 0, std::to_string(confirmed));
    EXPECT_EQ(delivered(1, confirmed, {})->outcome, "OK");
    packingNote(1, 3, "");
    EXPECT_EQ(note(bo::DemoNoteNumber(0, 101, 6)).status, bo::NoteStatus::InProgress);

    // Opening another note lets go of the first (Previous and Next do that).
    const bo::Id other = note(bo::DemoNoteNumber(0, 101, 5)).id;
    packingNote(1, 0, std::to_string(id));
    packingNote(1, 0, std::to_string(other));
    EXPECT_FALSE(note(kNewNote).heldBy);
    EXPECT_EQ(note(bo::DemoNoteNumber(0, 101, 5)).heldBy, 1);
    {
        // An opened note's containers as scanned, its instructions in order.
        const bo::Id detailed = note(bo::DemoNoteNumber(0, 101, 5)).id;
        packingNote(1, 0, std::to_string(detailed));
        ASSERT_EQ(containerScan(1, detailed, "20500002")->outcome, "OK");
        ASSERT_EQ(containerScan(1, detailed, "20500001")->outcome, "OK");
        const auto again = packingNote(1, 0, std::to_string(detailed));
        const pugi::xml_node details = again->root().child("PackingNoteDetails");
        std::vector<std::string> codes, texts;
        for (const pugi::xml_node c : details.child("C").children("C")) {
            codes.emplace_back(c.attribute("CPID").value());
        }
        for (const pugi::xml_node u : details.child("UI").children("UI")) {
            texts.emplace_back(u.attribute("UI").value());
        }
        EXPECT_EQ(codes, (std::vector<std::string>{"20500002", "20500001"}));
        EXPECT_EQ(texts, store_->begin(false)->instructions(detailed));
        EXPECT_FALSE(texts.empty()) << "the demo note has instructions";
        EXPECT_EQ(details.child_value("DD"), std::string("Fresh produce"));
    }
}

// Reads named ahead answer the calls that follow, but never with what the
// transaction itself has changed since.
TEST_P(Handlers, ReadsNamedAheadNeverAnswerWithWhatTheTransactionChanged) {
    const bo::Note held = note(kNewNote);
    const bo::Line line = lines(held.id).front();
    const bo::Route route = store_->begin(false)->route(held.routeId).value();
    const size_t newNotes = store_->begin(false)->notes(route.id, bo::NoteStatus::New).size();
    store_->write([&](bo::StoreTransaction& tx) {
        tx.setActor({1, std::nullopt, "2026-03-04T06:00:00.000Z"});
        bo::StoreTransaction::ReadsAhead reads;
        reads.note = held.id;
        reads.lines = true;
        reads.notesHeld = true;
        reads.details = true;
        reads.route = route.id;
        reads.notesOfRoute = bo::NoteStatus::New;
        tx.willRead(reads);
        ASSERT_TRUE(tx.deviceWithPlant(1));
        const bo::Note before = tx.noteToChange(held.id).value();
        bo::Note after = before;
        after.heldBy = 1;
        after.status = bo::NoteStatus::InProgress;
        tx.updateNote(before, after);
        bo::Line counted = line;
        counted.delivered = line.delivered + 3;
        tx.updateLine(line, counted);
        tx.addContainer(held.id, "20599999", "2026-03-04T06:00:00.000");

        EXPECT_EQ(tx.notesHeldBy(1).size(), 1u);
        EXPECT_EQ(tx.lines(held.id).front().delivered, line.delivered + 3);
        EXPECT_EQ(tx.noteDetails(after).containers.size(), 1u);
        EXPECT_EQ(tx.route(route.id)->inProgress, route.inProgress + 1);
        EXPECT_EQ(tx.notes(route.id, bo::NoteStatus::New).size(), newNotes - 1);
    });
}

TEST_P(Handlers, ANoteHeldByAnotherDeviceIsRefusedWithItsName) {
    const bo::Id id = note(kNewNote).id;
    ASSERT_EQ(packingNote(1, 0, std::to_string(id))->outcome, "OK");
    for (int action : {0, 1}) {
        const auto refused = packingNote(2, action, action == 0 ? std::to_string(id) : kNewNote);
        EXPECT_EQ(refused->outcome, bo::Codes::NoteHeld);
        EXPECT_EQ(refused->message,
                  "Packing note " + kNewNote + " is being worked on by handheld HH01.");
    }
    const int before = lines(id).front().delivered;
    EXPECT_EQ(delivered(2, id, {{lines(id).front().id, before + 3}})->outcome, bo::Codes::NoteHeld);
    EXPECT_EQ(lines(id).front().delivered, before) << "the refused change changed nothing";

    now_ += std::chrono::hours(3); // HH01 was dropped and nobody took it back
    EXPECT_EQ(packingNote(2, 0, std::to_string(id))->outcome, "OK");
    EXPECT_EQ(note(kNewNote).heldBy, 2);
}

TEST_P(Handlers, FindingByNumberGivesTheRouteTheNoteBelongsTo) {
    const std::string tomorrow = bo::DemoNoteNumber(1, 102, 2);
    const auto found = packingNote(1, 1, tomorrow);
    ASSERT_EQ(found->outcome, "OK");
    EXPECT_EQ(found->attribute("RouteChange", "RCID"), std::to_string(routeId(102, 1)));
    EXPECT_EQ(found->attribute("RouteChange", "RNR"), "102");
    EXPECT_EQ(found->attribute("RouteChange", "FD"), bo::AddDays(kDay, 1));
    EXPECT_EQ(found->attribute("RouteChange", "QN"), "6");
    EXPECT_FALSE(note(tomorrow).heldBy) << "finding does not open";

    struct Case {
        std::string number;
        const char* outcome;
    } cases[] = {{"123", bo::Codes::NoteUnknown},
                 {kDoneNote, bo::Codes::NoteDone},
                 {kNewNote + "' OR 1=1 --", bo::Codes::NoteUnknown},
                 {"52000001", bo::Codes::NoteUnknown}}; // another plant's
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(packingNote(1, 1, c.number)->outcome, c.outcome);
    }
    EXPECT_EQ(packingNote(1, 7, "")->outcome, "1");
}

TEST_P(Handlers, ScanNextTakesEachNewNoteOnceAndARetryGetsTheSameNote) {
    const bo::Id route = routeId(101);
    const auto first = packingNote(1, 2, "", route);
    EXPECT_EQ(first->attribute("PackingNote", "NNR"), kNewNote);
    EXPECT_EQ(first->attribute("PackingNote", "SC"), "10") << "the handheld counts it from new";
    const auto again = packingNote(1, 2, "", route);
    EXPECT_EQ(again->attribute("PackingNote", "NNR"), kNewNote);
    EXPECT_EQ(again->attribute("PackingNote", "SC"), "20") << "the handheld counted it already";
    EXPECT_EQ(
        packingNote(1, 0, first->attribute("PackingNote", "PNID"))->attribute("PackingNote", "SC"),
        "20")
        << "and opening it does not count it again";
    EXPECT_EQ(packingNote(2, 2, "", route)->attribute("PackingNote", "NNR"),
              bo::DemoNoteNumber(0, 101, 5));
    EXPECT_EQ(packingNote(3, 2, "", route)->attribute("PackingNote", "NNR"),
              bo::DemoNoteNumber(0, 101, 6));
    EXPECT_EQ(packingNote(4, 2, "", route)->outcome, bo::Codes::NoNewNote);
    EXPECT_EQ(packingNote(4, 2, "", 999999)->outcome, bo::Codes::RouteUnknown);
}

TEST_P(Handlers, AContainerIsRegisteredOnceAndFindsItsNote) {
    const bo::Id id = note(kNewNote).id;
    packingNote(1, 0, std::to_string(id));
    const auto scanned = containerScan(1, id, "20500001");
    EXPECT_EQ(scanned->outcome, "OK");
    EXPECT_EQ(scanned->root().attribute("CPID").value(), std::string("20500001"));
    EXPECT_EQ(scanned->root().attribute("PNID").value(), std::to_string(id));
    EXPECT_EQ(containerScan(1, id, "20500001")->outcome, "OK");
    EXPECT_EQ(store_->begin(false)->containers(id).size(), 1u)
        << "a repeat is not a second container";

    const auto lookup =
        call("KORVANEPACKINGNOTECONTAINER",
             RequestDocument("KorvanePackingNoteContainerRequest",
                             {{"MobileDevice_ID", "2"}, {"ContainerIDCode", "20500001"}}));
    EXPECT_EQ(lookup->attribute("PackingNote", "NNR"), kNewNote);

    const bo::Id other = note(bo::DemoNoteNumber(0, 101, 5)).id;
    packingNote(2, 0, std::to_string(other));
    const auto elsewhere = containerScan(2, other, "20500001");
    EXPECT_EQ(elsewhere->outcome, bo::Codes::ContainerElsewhere);
    EXPECT_NE(elsewhere->message.find(kNewNote), std::string::npos);

    struct Case {
        const char* code;
        const char* outcome;
    } cases[] = {{"123", bo::Codes::ContainerOutOfRange},
                 {"1999999999", bo::Codes::ContainerOutOfRange},
                 {"20-5", "1"},
                 {"", "1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(containerScan(2, other, c.code)->outcome, c.outcome);
    }
    EXPECT_EQ(call("KORVANEPACKINGNOTECONTAINER",
                   RequestDocument("KorvanePackingNoteContainerRequest",
                                   {{"MobileDevice_ID", "2"}, {"ContainerIDCode", "29999999"}}))
                  ->outcome,
              bo::Codes::ContainerUnknown);
}

TEST_P(Handlers, DeliveredQuantitiesAreAbsoluteAndAllOrNothing) {
    const bo::Id id = note(kNewNote).id;
    packingNote(1, 0, std::to_string(id));
    const std::vector<bo::Line> before = lines(id);
    const auto audits = count("audit");
    ASSERT_EQ(delivered(1, id, {{before[0].id, 5}, {before[1].id, 2}})->outcome, "OK");
    ASSERT_EQ(delivered(1, id, {{before[0].id, 5}, {before[1].id, 2}})->outcome, "OK");
    EXPECT_EQ(lines(id)[0].delivered, 5);
    EXPECT_EQ(count("audit"), audits + 3) << "two lines and the note; the repeat changes nothing";

    const bo::Id foreignLine = lines(note(bo::DemoNoteNumber(0, 101, 5)).id).front().id;
    EXPECT_EQ(delivered(1, id, {{before[0].id, 9}, {foreignLine, 1}})->outcome,
              bo::Codes::LineUnknown);
    EXPECT_EQ(delivered(1, id, {{before[0].id, -1}})->outcome, "1");
    EXPECT_EQ(delivered(1, id, {{before[0].id, 1000000}})->outcome, "1");
    EXPECT_EQ(lines(id)[0].delivered, 5);
    EXPECT_EQ(count("audit"), audits + 3);
}

TEST_P(Handlers, PoolScansAnswerWithTheFourKindsOfMessage) {
    const bo::Id fresh = note(kNewNote).id;
    const bo::Id dry = note(bo::DemoNoteNumber(0, 301, 4)).id;
    packingNote(1, 0, std::to_string(fresh));
    packingNote(2, 0, std::to_string(dry));
    const bo::Id fresh2 = note(bo::DemoNoteNumber(0, 101, 5)).id;
    packingNote(3, 0, std::to_string(fresh2));
    const auto pooledLine = [this](bo::Id note, const char* product) {
        for (const bo::Line& line : lines(note)) {
            if (line.productCode == product) {
                return line;
            }
        }
        return bo::Line{};
    };
    const int freshOrdered = pooledLine(fresh, "FR-2010").ordered;

    struct Step {
        const char* name;
        int device;
        bo::Id note;
        std::string code;
        int action;
        bool confirmBundle; // action 1 with the bundle id of 9300001
        const char* status;
        int kind; // -1: no message
        const char* colour;
    } steps[] = {
        {"accepted", 1, fresh, "9100001", 0, false, "30", 1, "80E080"},
        {"already scanned", 1, fresh, "9100001", 0, false, "31", 0, "FFE680"},
        {"unknown code", 1, fresh, "0000000", 0, false, "40", 3, "FF7070"},
        {"not on this note", 1, fresh, "9300001", 0, false, "41", 3, "FF7070"},
        {"product not on this note", 2, dry, "9100001", 0, false, "41", 3, "FF7070"},
        {"scanned for another note", 3, fresh2, "9100001", 0, false, "42", 3, "FF7070"},
        {"bundle asks", 2, dry, "9300001", 0, false, "20", 2, "FFB347"},
        {"bundle confirmed", 2, dry, "9300001", 1, true, "30", 1, "80E080"},
        {"confirmed twice", 2, dry, "9300001", 1, true, "30", 1, "80E080"},
        {"bundle without question", 2, dry, "9300031", 0, false, "30", 1, "80E080"},
    };
    const bo::Id bundleId = store_->begin(false)->poolUnitByCode(1, "9300001")->id;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        const auto reply =
            poolScan(s.device, s.note, s.code, s.action, 0, s.confirmBundle ? bundleId : 0);
        ASSERT_EQ(reply->outcome, "OK");
        EXPECT_EQ(std::string(reply->root().child_value("StatusCode")), s.status);
        const pugi::xml_node flag = reply->root().child("Flag").first_child();
        EXPECT_EQ(flag.attribute("A").as_int(-1), s.kind);
        EXPECT_EQ(std::string(flag.attribute("C").value()), s.colour);
    }
    EXPECT_EQ(std::string(poolScan(2, dry, "9300001")->root().child_value("UniqueBundle_ID")), "0");
    EXPECT_EQ(pooledLine(fresh, "FR-2010").delivered, 1);
    EXPECT_EQ(pooledLine(dry, "DR-5020").delivered, 4 + 2)
        << "a bundle of 4, counted once, and one of 2";
    EXPECT_EQ(pooledLine(dry, "DR-5020").bundlesScanned, 2);

    // Beyond what was ordered, an item asks first.
    for (int i = 2; i <= freshOrdered; ++i) {
        poolScan(1, fresh, std::to_string(9100000 + i));
    }
    const auto more = poolScan(1, fresh, std::to_string(9100000 + freshOrdered + 1));
    EXPECT_EQ(more->root().child("Flag").first_child().attribute("A").as_int(), 2);
    const std::string item = more->root().child_value("UniqueItem_ID");
    EXPECT_NE(item, "0");
    EXPECT_EQ(pooledLine(fresh, "FR-2010").delivered, freshOrdered);
    poolScan(1, fresh, "", 1, std::stoll(item));
    EXPECT_EQ(pooledLine(fresh, "FR-2010").delivered, freshOrdered + 1);
}

TEST_P(Handlers, CountPrintAndProcess) {
    const bo::Id id = note(kNewNote).id;
    packingNote(1, 0, std::to_string(id));
    const auto counted =
        call("KORVANECOUNT",
             RequestDocument("KorvaneCountRequest",
                             {{"MobileDevice_ID", "1"}, {"PackingNote_ID", std::to_string(id)}}));
    int products = 0;
    for (const bo::Line& line : lines(id)) {
        products += line.counted ? 1 : 0;
    }
    EXPECT_EQ(counted->root().child("CountProduct").select_nodes("CountProduct").size(),
              static_cast<size_t>(products));
    for (pugi::xml_node product : counted->root().child("CountProduct").children()) {
        EXPECT_GT(product.attribute("MAXQD").as_int(), product.attribute("MINQD").as_int());
    }
    // The lines message shows every line as stored, in order.
    const auto listed =
        call("KORVANEPACKINGNOTELINE",
             RequestDocument("KorvanePackingnoteLineRequest",
                             {{"MobileDevice_ID", "1"}, {"PackingNote_ID", std::to_string(id)}}));
    std::vector<std::string> shown, stored;
    for (pugi::xml_node line : listed->root().child("packingnoteline").children()) {
        shown.push_back(std::string(line.attribute("PNLID").value()) + " " +
                        line.attribute("PC").value() + " " + line.attribute("QD").value() + " " +
                        line.attribute("MAXQ").value());
    }
    for (const bo::Line& line : lines(id)) {
        stored.push_back(std::to_string(line.id) + " " + line.productCode + " " +
                         std::to_string(line.delivered) + " " + std::to_string(line.maximum));
    }
    EXPECT_EQ(shown, stored);

    const auto print = [&](const char* colli, const char* orderForm) {
        return call("KORVANEPRINT",
                    RequestDocument("KorvanePrintRequest", {{"MobileDevice_ID", "1"},
                                                            {"PackingNote_ID", std::to_string(id)},
                                                            {"Employee_ID", "1"},
                                                            {"Colli", colli},
                                                            {"PrintOrderForm", orderForm}}));
    };
    EXPECT_EQ(print("3", "true")->outcome, "OK");
    EXPECT_EQ(note(kNewNote).colli, 3);
    EXPECT_EQ(print("70000", "true")->outcome, "1");
    EXPECT_EQ(print("2", "yes")->outcome, "1");
    EXPECT_EQ(count("print_jobs"), 1);
    size_t pdfs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path() / "prints")) {
        pdfs +=
            entry.path().extension() == ".pdf" && std::filesystem::file_size(entry.path()) > 1000;
    }
    EXPECT_EQ(pdfs, 1u);

    const std::string process =
        RequestDocument("KorvaneProcessRequest",
                        {{"MobileDevice_ID", "1"}, {"PackingNote_ID", std::to_string(id)}});
    EXPECT_EQ(call("KORVANEPROCESS", process)->outcome, "OK");
    EXPECT_EQ(note(kNewNote).status, bo::NoteStatus::Done);
    EXPECT_FALSE(note(kNewNote).heldBy);
    EXPECT_EQ(call("KORVANEPROCESS", process)->outcome, "OK") << "a repeat";
    EXPECT_EQ(delivered(1, id, {{lines(id).front().id, 1}})->outcome, bo::Codes::NoteDone);
}

TEST_P(Handlers, RequestsThatCannotBeReadChangeNothing) {
    const std::string id = std::to_string(note(kNewNote).id);
    const auto audits = count("audit");
    struct Case {
        const char* name;
        std::string function;
        std::string request;
        std::string message; // the start of it
    } cases[] = {
        {"unknown function", "KORVANEDANCE", RequestDocument("X", {{"MobileDevice_ID", "1"}}),
         "Not able to create normal return message. the function KORVANEDANCE"},
        {"unknown device", "KORVANEPACKINGNOTE",
         RequestDocument("KorvanePackingnoteRequest", {{"MobileDevice_ID", "77"}, {"Action", "0"}}),
         std::string(bo::kInvalidUserMessage)},
        {"no device", "KORVANECOUNT", RequestDocument("KorvaneCountRequest", {}),
         std::string(bo::kInvalidUserMessage)},
        {"missing note id", "KORVANEPACKINGNOTE",
         RequestDocument("KorvanePackingnoteRequest", {{"MobileDevice_ID", "1"}, {"Action", "0"}}),
         "Not able to create normal return message. the request has no PackingNote_ID"},
        {"huge number", "KORVANEPROCESS",
         RequestDocument("KorvaneProcessRequest",
                         {{"MobileDevice_ID", "1"},
                          {"PackingNote_ID", "340282366920938463463374607431768211456"}}),
         "Not able to create normal return message. PackingNote_ID"},
        {"SQL in a number", "KORVANEPROCESS",
         RequestDocument("KorvaneProcessRequest",
                         {{"MobileDevice_ID", "1"}, {"PackingNote_ID", id + "; DROP TABLE notes"}}),
         "Not able to create normal return message. PackingNote_ID"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reply = call(c.function, c.request);
        EXPECT_EQ(reply->outcome, "1");
        EXPECT_EQ(reply->message.substr(0, c.message.size()), c.message);
    }
    EXPECT_EQ(call("KORVANEPROCESS", "<not a document")->outcome, "FAULT");
    EXPECT_EQ(count("audit"), audits);
    EXPECT_EQ(note(kNewNote).status, bo::NoteStatus::New);
}

TEST(ContainerRange, TheHandheldsRule) {
    const std::vector<bo::ContainerRange> ranges = {{10, "0010000000", "0019999999"},
                                                    {8, "20000000", "29999999"}};
    struct Case {
        const char* code;
        bool inRange;
    } cases[] = {{"20000000", true},   {"29999999", true},   {"2000000", false},
                 {"10000000", false}, // 8 digits meet the length 8 ranges only
                 {"0010000000", true}, {"123456789", false}, {"12345678901", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(bo::ContainerInRange(c.code, ranges), c.inRange) << c.code;
    }
}

// The print command gets the file as one argument whatever its name holds,
// and nothing of the server but the standard streams.
TEST(PrintCommand, GetsTheFileAloneAndNoServerSockets) {
    TemporaryFolder folder;
    const std::filesystem::path seen = folder.path() / "seen";
    const std::filesystem::path fds = folder.path() / "fds";
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0); // like the listening socket
    bo::PdfPrinter printer((folder.path() / "prints").string(),
                           "ls -l /proc/$$/fd > '" + fds.string() + "'; printf '%s' >'" +
                               seen.string() + "'");
    const bo::PrintOutcome outcome = printer.print({}, "note-$(touch pwned);`touch pwned`");
    ::close(socket);
    EXPECT_EQ(outcome.status, "printed") << outcome.message;
    std::ifstream seenFile(seen);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(seenFile), {}), outcome.file);
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    std::ifstream fdFile(fds);
    const std::string open{std::istreambuf_iterator<char>(fdFile), {}};
    EXPECT_NE(open.find("/dev/null"), std::string::npos) << open;
    EXPECT_EQ(open.find("socket:"), std::string::npos) << open;

    bo::PdfPrinter failing((folder.path() / "prints").string(), "exit 3;");
    EXPECT_EQ(failing.print({}, "note-2").status, "failed");
}

TEST(PrintedWords, ThePlantsLanguageAndClock) {
    struct Row {
        const char* name;
        const char* language;
        const char* english;
        const char* printed;
    } rows[] = {{"Dutch", "Nederlands", "Delivery note", "Afleverbon"},
                {"German", "Deutsch", "Size", "Gr\u00f6\u00dfe"},
                {"English", "English", "Delivered", "Delivered"},
                {"a language without words", "Klingon", "Customer", "Customer"},
                {"a word without translation", "Deutsch", "Qapla'", "Qapla'"}};
    for (const Row& row : rows) {
        EXPECT_EQ(bo::PrintWord(row.language, row.english), row.printed) << row.name;
    }
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1); // the rules, no time zone files needed
    tzset();
    EXPECT_EQ(bo::PrintedLocalTime("2026-12-09T18:05:31.250Z"), "2026-12-09 19:05");
    EXPECT_EQ(bo::PrintedLocalTime("2026-07-01T23:30:00.000Z"), "2026-07-02 01:30")
        << "summer time, the next day";
    EXPECT_EQ(bo::PrintedLocalTime("not a time"), "not a time");
    unsetenv("TZ");
    tzset();
}

INSTANTIATE_TEST_SUITE_P(Engines, Handlers, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param); });
