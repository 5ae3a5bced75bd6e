// The supervisor's dashboard: its JSON over the demonstration warehouse, the
// records the triggers keep for it, the users file and the logins.
#include "backoffice/dashboard.h"
#include "backoffice/dashboard_sqlite.h"
#include "backoffice/server.h"
#include "backoffice/sqlite.h"
#include "backoffice/users.h"
#include "backoffice/xml_text.h"
#include "backoffice_fixture.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <httplib.h>
#include <map>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class Dashboard : public OfficeTest {
protected:
    Dashboard() : queries_(sqliteStore()) {}

    // The answer of /api/v1/<endpoint>; the status goes to `status`.
    std::string api(const std::string& endpoint, std::map<std::string, std::string> params,
                    int* status = nullptr) {
        if (!params.count("day") && endpoint != "notes") {
            params["day"] = kDay;
        }
        const bo::Dashboard::Reply reply =
            dashboard().api(endpoint, params, std::chrono::system_clock::now());
        if (status) {
            *status = reply.status;
        }
        return reply.body;
    }
    bo::Dashboard& dashboard() {
        if (!dashboard_) {
            dashboard_ =
                std::make_unique<bo::Dashboard>(queries_, bo::DashboardOptions{}, "127.0.0.1",
                                                (folder_.path() / "prints").string());
        }
        return *dashboard_;
    }
    void sql(const std::string& statement) {
        sqliteStore().writeDatabase([&](bo::sqlite::Database& db) { db.execute(statement); });
    }

    bo::SqliteDashboardQueries queries_;
    std::unique_ptr<bo::Dashboard> dashboard_;
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(DashboardJson, StringsAreEscapedAndStayWellFormed) {
    struct Case {
        const char* name;
        std::string text;
        std::string json;
    } cases[] = {
        {"plain", "Van Dijk", "\"Van Dijk\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"markup never travels as markup", "<script>alert(1)</script>",
         "\"\\u003cscript\\u003ealert(1)\\u003c/script\\u003e\""},
        {"ampersand", "Cash & Carry", "\"Cash \\u0026 Carry\""},
        {"control characters", std::string("a\nb\x01"), "\"a\\nb\\u0001\""},
        {"umlauts pass", "M\xC3\xBCller", "\"M\xC3\xBCller\""},
        {"a byte of no UTF-8 becomes ?", "caf\xE9!", "\"caf?!\""},
        {"a cut sequence becomes ?", "x\xE2\x82", "\"x??\""},
        {"line separator is escaped", "a\xE2\x80\xA8z", "\"a\\u2028z\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bo::JsonString(c.text), c.json);
    }
}

TEST(DashboardJson, StaleRoutesAndDays) {
    const auto now = *bo::ParseIsoUtc("2026-03-04T10:00:00.000Z");
    struct Case {
        const char* name;
        int inProgress;
        const char* last;
        bool stale;
    } cases[] = {
        {"moved lately", 1, "2026-03-04T09:45:00.000Z", false},
        {"still for longer than the limit", 1, "2026-03-04T09:39:59.000Z", true},
        {"nothing in progress is never stale", 0, "2026-03-04T06:00:00.000Z", false},
        {"in progress and never moved", 1, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bo::DashboardRoute route;
        route.inProgress = c.inProgress;
        route.lastActivity = c.last;
        EXPECT_EQ(bo::RouteStale(route, now, 20), c.stale);
    }
    for (const char* day : {"2026-02-29", "2026-13-01", "2026-3-4", "2026-03-04x", ""}) {
        EXPECT_FALSE(bo::IsDay(day)) << day;
    }
    EXPECT_TRUE(bo::IsDay("2028-02-29"));
}

TEST(DashboardJson, OpenOnlyUnderALoopbackName) {
    struct Case {
        const char* host;
        bool open;
    } cases[] = {{"127.0.0.1:8080", true},
                 {"localhost:8080", true},
                 {"[::1]:8080", true},
                 {"", true},
                 {"127.0.0.1", true},
                 {"evil.example:8080", false},
                 {"127.0.0.1.evil.example", false},
                 {"[::1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        EXPECT_EQ(bo::LoopbackHost(bo::HostName(c.host)), c.open);
    }
}

TEST_F(Dashboard, RoutesOfTheDayByDepartmentWithTheirCounters) {
    const std::string json = api("routes", {{"plant", "1000"}});
    EXPECT_TRUE(has(json, R"("departments":[{"number":10,"code":"FRS")")) << json;
    EXPECT_TRUE(
        has(json, R"("number":101,"description":"North Harbour","new":3,"inProgress":1,"done":2)"))
        << json;
    EXPECT_TRUE(has(json, "\"Chilled \\u0026 dairy\"")) << json;

    struct Case {
        const char* name;
        std::map<std::string, std::string> params;
        int status;
        const char* part;
    } cases[] = {
        {"the first plant by default", {}, 200, R"("code":"1000")"},
        {"a day far in the past has no routes",
         {{"day", "1999-01-01"}},
         200,
         R"("routes":[]},{"number":20)"},
        {"a day that does not exist", {{"day", "2026-02-30"}}, 400, "YYYY-MM-DD"},
        {"an unknown plant", {{"plant", "9999"}}, 404, "no such plant"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int status = 0;
        const std::string body = api("routes", c.params, &status);
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(has(body, c.part)) << body;
    }
    int status = 0;
    api("changes", {}, &status);
    EXPECT_EQ(status, 404);
}

TEST_F(Dashboard, APlantWithoutRoutes) {
    store_->write([](bo::StoreTransaction& tx) {
        bo::Plant plant;
        plant.code = "3000";
        plant.name = "Empty";
        tx.insertPlant(plant);
    });
    int status = 0;
    const std::string json = api("routes", {{"plant", "3000"}}, &status);
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(has(json, R"({"plant":{"code":"3000","name":"Empty","language":"English"})"))
        << json;
    EXPECT_TRUE(has(json, R"("departments":[])")) << json;
    EXPECT_TRUE(has(api("handhelds", {{"plant", "3000"}}), R"("handhelds":[])"));
    EXPECT_TRUE(has(api("scans", {{"plant", "3000"}}), R"("notes":0)"));
}

TEST_F(Dashboard, ANotesCustomerWithMarkupComesAsText) {
    sql("UPDATE notes SET customer = '<script>alert(1)</script>' WHERE number = '4310104'");
    const std::string json =
        api("notes", {{"plant", "1000"}, {"route", std::to_string(routeId(101))}});
    EXPECT_FALSE(has(json, "<script>")) << json;
    EXPECT_TRUE(has(json, "\\u003cscript\\u003ealert(1)")) << json;

    int status = 0;
    api("notes", {{"plant", "2000"}, {"route", std::to_string(routeId(101))}}, &status);
    EXPECT_EQ(status, 404) << "a route is only found in its own plant";
}

// What the handhelds do shows on the dashboard: the hold, the quantities
// against the order, the container, the scans per hour, the note done.
TEST_F(Dashboard, AWorkedNoteShowsItsHolderQuantitiesAndScans) {
    const bo::Note worked = note(bo::DemoNoteNumber(0, 101, 4));
    packingNote(1, 0, std::to_string(worked.id));
    dashboard().exchanged(1, "KORVANEPACKINGNOTE", 2); // employee 1002
    ASSERT_EQ(containerScan(1, worked.id, "20500001")->outcome, "OK");
    const std::vector<bo::Line> before = lines(worked.id);
    ASSERT_EQ(delivered(1, worked.id, {{before[0].id, before[0].ordered - 2}})->outcome, "OK");
    dashboard().stop(); // writes the handhelds' last exchanges

    const std::string notes =
        api("notes", {{"plant", "1000"}, {"route", std::to_string(routeId(101))}});
    const size_t at = notes.find("\"number\":\"" + worked.number + "\"");
    ASSERT_NE(at, std::string::npos) << notes;
    const std::string mine = notes.substr(at, notes.find("]}", notes.find("\"lines\"", at)) - at);
    EXPECT_TRUE(has(mine, R"("state":"inProgress")")) << mine;
    EXPECT_TRUE(has(mine, R"("heldBy":"HH01","employee":"Tomas Vermeer","heldFrom":"20)")) << mine;
    EXPECT_TRUE(has(mine, R"("containers":["20500001"])")) << mine;
    EXPECT_TRUE(
        has(mine, "\"delivered\":" + std::to_string(before[0].ordered - 2) + ",\"difference\":-2"))
        << mine;

    const std::string handhelds = api("handhelds", {{"plant", "1000"}});
    EXPECT_TRUE(has(handhelds, R"("code":"HH01","lastExchange":"20)")) << handhelds;
    EXPECT_TRUE(has(handhelds,
                    R"("lastFunction":"KORVANEPACKINGNOTE","employee":"Tomas Vermeer","note":")" +
                        worked.number + R"(","silent":false)"))
        << handhelds;

    std::int64_t containers = 0, quantities = 0;
    sqliteStore().read([&](bo::sqlite::Database& db) {
        auto q = db.query("SELECT SUM(kind = 0), SUM(kind = 2) FROM scan_events e "
                          "JOIN routes r ON r.id = e.route_id "
                          "WHERE r.plant_id = 1 AND r.delivery_day = ?");
        q.bind(1, kDay);
        q.next();
        containers = q.integer(0);
        quantities = q.integer(1);
    });
    EXPECT_EQ(quantities, 1) << "one line changed by hand";
    const std::string scans = api("scans", {{"plant", "1000"}});
    EXPECT_TRUE(has(scans, "\"notes\":54")) << scans;
    EXPECT_TRUE(has(scans, "\"containers\":" + std::to_string(containers))) << scans;

    const auto process = call(
        "KORVANEPROCESS",
        RequestDocument("KorvaneProcessRequest",
                        {{"MobileDevice_ID", "1"}, {"PackingNote_ID", std::to_string(worked.id)}}));
    ASSERT_EQ(process->outcome, "OK") << process->message;
    const std::string done =
        api("notes", {{"plant", "1000"}, {"route", std::to_string(routeId(101))}});
    const std::string after = done.substr(done.find("\"number\":\"" + worked.number + "\""));
    EXPECT_TRUE(has(after, R"("state":"done","colli")")) << after;
    EXPECT_TRUE(has(after, R"("heldBy":null,"employee":null,"heldFrom":null,"doneAt":"20)"))
        << after;
    EXPECT_TRUE(has(api("scans", {{"plant", "1000"}}), "\"notesDone\":1,")) << "the note done";
}

// The route counters the triggers keep agree with counting the notes, after
// whatever happens to the notes.
TEST_F(Dashboard, RouteCountersFollowEveryChangeOfTheNotes) {
    const auto disagreeing = [this] {
        std::int64_t count = -1;
        sqliteStore().read([&](bo::sqlite::Database& db) {
            auto q = db.query(
                "SELECT COUNT(*) FROM routes r WHERE "
                "notes_new <> (SELECT COUNT(*) FROM notes WHERE route_id = r.id AND status = 0) "
                "OR notes_in_progress <> "
                "(SELECT COUNT(*) FROM notes WHERE route_id = r.id AND status = 1) "
                "OR notes_done <> (SELECT COUNT(*) FROM notes WHERE route_id = r.id AND status = "
                "2)");
            q.next();
            count = q.integer(0);
        });
        return count;
    };
    const std::string other = std::to_string(routeId(102));
    struct Case {
        const char* name;
        std::string change;
    } cases[] = {
        {"the seeded data", "SELECT 1"},
        {"a state changes", "UPDATE notes SET status = 2 WHERE number = '4310104'"},
        {"a note moves to another route",
         "UPDATE notes SET route_id = " + other + " WHERE number = '4310105'"},
        {"a note moves and changes state at once",
         "UPDATE notes SET route_id = " + std::to_string(routeId(101)) +
             ", status = 1 WHERE number = '4310105'"},
        {"a note comes", "INSERT INTO notes(plant_id, route_id, number, customer, status) "
                         "VALUES(1, " +
                             other + ", '999', 'New', 1)"},
        {"a note goes", "DELETE FROM notes WHERE number = '999'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sql(c.change);
        EXPECT_EQ(disagreeing(), 0);
    }
}

// The store's queries, counting the routes of a day asked for.
class CountingQueries : public bo::DashboardQueries {
public:
    explicit CountingQueries(bo::DashboardQueries& inner) : inner_(inner) {}
    std::vector<bo::DashboardPlant> plants() override { return inner_.plants(); }
    std::vector<bo::Department> departments(bo::Id plant) override {
        return inner_.departments(plant);
    }
    std::vector<bo::DashboardRoute> routes(bo::Id plant, const std::string& day) override {
        ++routeQueries;
        return inner_.routes(plant, day);
    }
    std::optional<std::pair<bo::DashboardRoute, std::vector<bo::DashboardNote>>>
    routeNotes(bo::Id plant, bo::Id route) override {
        return inner_.routeNotes(plant, route);
    }
    std::vector<bo::DashboardHandheld> handhelds(bo::Id plant) override {
        return inner_.handhelds(plant);
    }
    bo::HourlyScans scansPerHour(bo::Id plant, const std::string& day) override {
        return inner_.scansPerHour(plant, day);
    }
    std::string printFile(bo::Id plant, bo::Id job) override {
        return inner_.printFile(plant, job);
    }
    void saveActivity(const std::vector<bo::HandheldActivity>& activity) override {
        inner_.saveActivity(activity);
    }
    std::uint64_t changeMarker() override { return marker; }
    int routeQueries = 0;
    std::uint64_t marker = 0; // what the database says of its writers

private:
    bo::DashboardQueries& inner_;
};

// Open pages share one answer while nothing changed and within half a
// second of it, so that twenty dashboards cost hardly more than one. A change
// this process did not make (another instance) shows through the database's
// marker, asked for no more often.
TEST_F(Dashboard, PollsShareAnswers) {
    CountingQueries counting(queries_);
    bo::Dashboard shared(counting, {}, "127.0.0.1", folder_.path().string());
    shared.stop(); // no writer of last exchanges bumping the state behind the test's back
    const auto t0 = std::chrono::steady_clock::now();
    using ms = std::chrono::milliseconds;
    struct Step {
        const char* name;
        bool exchange;
        ms at;
        int queries;
        bool sameTag; // as the step before
        bool elsewhere = false; // another instance changed the database first
    } steps[] = {
        {"the first page asks the database", false, ms(0), 1, false},
        {"a second page at once", false, ms(0), 1, true},
        {"nothing changed, seconds later", false, ms(5000), 1, true},
        {"after a handheld's exchange", true, ms(5000), 2, false},
        {"another exchange within half a second", true, ms(5200), 2, true},
        {"half a second later", false, ms(5600), 3, false},
        {"another instance's change", false, ms(8000), 4, false, true},
        {"... and its next within half a second", false, ms(8200), 4, true, true},
        {"which shows half a second later", false, ms(8600), 5, false},
    };
    std::string tag;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.exchange) {
            shared.exchanged(1, "KORVANEROUTE", std::nullopt);
        }
        counting.marker += step.elsewhere;
        const bo::Dashboard::Answer answer =
            shared.poll("routes", {{"plant", "1000"}, {"day", kDay}}, t0 + step.at);
        EXPECT_EQ(answer.reply.status, 200);
        EXPECT_EQ(counting.routeQueries, step.queries);
        EXPECT_EQ(answer.etag == tag, step.sameTag);
        tag = answer.etag;
    }
}

TEST(DashboardAnswers, KeptByRequestAndVersionWithinBounds) {
    bo::AnswerCache cache({2, 1 << 20});
    struct Step {
        const char* name;
        std::string key;
        bo::DataVersion asked;
        bool made;
        int status = 200;
    } steps[] = {
        {"the first ask makes the answer", "a", {1, 0}, true},
        {"the same request at the same version is served", "a", {1, 0}, false},
        {"an older version is served the newer answer", "a", {0, 0}, false},
        {"a change makes it anew", "a", {2, 0}, true},
        {"a new minute makes it anew", "a", {2, 1}, true},
        {"another request makes its own", "b", {2, 1}, true},
        {"a database that could not be read is not kept", "c", {2, 1}, true, 503},
        {"so the next page asks the database again", "c", {2, 1}, true, 503},
        {"a third kept answer pushes out the least recently used", "d", {2, 1}, true},
        {"the one pushed out is made again", "a", {2, 1}, true},
        {"the one used since stays", "d", {2, 1}, false},
    };
    std::map<std::string, std::string> lastMade;
    int serial = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        bool made = false;
        const bo::DashboardAnswer answer = cache.get(step.key, step.asked, [&] {
            made = true;
            return bo::DashboardAnswer{{step.status, step.key + std::to_string(++serial)}, ""};
        });
        EXPECT_EQ(made, step.made);
        if (made) {
            lastMade[step.key] = answer.reply.body;
        }
        EXPECT_EQ(answer.reply.body, lastMade[step.key]);
        EXPECT_EQ(answer.reply.status, step.status);
    }
    EXPECT_EQ(cache.stats().entries, 2u);

    bo::AnswerCache small({8, 10});
    for (int i = 0; i < 2; ++i) {
        small.get("big", {}, [] { return bo::DashboardAnswer{{200, std::string(64, 'x')}, ""}; });
    }
    EXPECT_EQ(small.stats().made, 2u) << "an answer beyond the byte bound is not kept";
    EXPECT_EQ(small.stats().bytes, 0u);
}

// An answer that took long is not kept over one made later at a newer
// version, which a page may already have shown.
TEST(DashboardAnswers, AnOlderAnswerNeverReplacesANewerOne) {
    bo::AnswerCache cache;
    const auto answer = [](const char* body) {
        return [body] { return bo::DashboardAnswer{{200, body}, ""}; };
    };
    cache.get("routes", {1, 0}, [&] {
        cache.get("routes", {2, 0}, answer("newer"));
        return bo::DashboardAnswer{{200, "older"}, ""};
    });
    EXPECT_EQ(cache.get("routes", {2, 0}, answer("made again")).reply.body, "newer");
    EXPECT_EQ(cache.stats().made, 2u);
}

// Twenty pages asking at once while the answer is being made wait for it.
TEST(DashboardAnswers, PagesAskingAtOnceShareOneQuery) {
    bo::AnswerCache cache;
    constexpr int kPages = 20;
    std::atomic<int> made{0};
    const auto make = [&] {
        ++made;
        // Until every other page waits for this answer (bounded).
        for (int i = 0; i < 5000 && cache.stats().joined < kPages - 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return bo::DashboardAnswer{{200, "day"}, "\"1\""};
    };
    std::vector<std::thread> pages;
    std::atomic<int> served{0};
    for (int p = 0; p < kPages; ++p) {
        pages.emplace_back([&] {
            if (cache.get("routes", {7, 0}, make).reply.body == "day") {
                ++served;
            }
        });
    }
    for (std::thread& page : pages) {
        page.join();
    }
    EXPECT_EQ(made, 1);
    EXPECT_EQ(served, kPages);
    EXPECT_EQ(cache.stats().joined + cache.stats().hits, static_cast<std::uint64_t>(kPages - 1));
}

TEST(DashboardAnswers, ChangesArePublishedAtMostOncePerInterval) {
    bo::ChangeCounter counter(std::chrono::milliseconds(500));
    const auto t0 = std::chrono::steady_clock::now();
    using ms = std::chrono::milliseconds;
    struct Step {
        const char* name;
        int changes;
        ms at;
        std::uint64_t published;
    } steps[] = {
        {"nothing changed", 0, ms(0), 0},
        {"the first change shows at once", 1, ms(0), 1},
        {"further changes wait out the interval", 2, ms(300), 1},
        {"and then show, all of them", 0, ms(500), 3},
        {"nothing new: the same", 0, ms(5000), 3},
        {"a change after a quiet spell shows at once", 1, ms(5000), 4},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        for (int i = 0; i < step.changes; ++i) {
            counter.changed();
        }
        EXPECT_EQ(counter.published(t0 + step.at), step.published);
    }
}

TEST(DashboardAnswers, TheKeyIsWhatTheAnswerDependsOn) {
    using Params = std::map<std::string, std::string>;
    struct Case {
        const char* name;
        Params a;
        Params b;
        bool same;
    } cases[] = {
        {"the page's language does not count",
         {{"plant", "1000"}, {"lang", "de"}},
         {{"plant", "1000"}, {"lang", "nl"}},
         true},
        {"another day", {{"day", "2026-03-04"}}, {{"day", "2026-03-05"}}, false},
        {"a value cannot pass for two parameters",
         {{"day", "2026-03-04"}, {"plant", "1000"}},
         {{"day", "2026-03-04&plant=1000"}},
         false},
        {"an empty value is not a missing one", {{"route", ""}}, {}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bo::AnswerKey("routes", c.a) == bo::AnswerKey("routes", c.b), c.same) << c.name;
    }
    EXPECT_NE(bo::AnswerKey("routes", {}), bo::AnswerKey("scans", {}));
}

TEST_F(Dashboard, AThousandRoutesOfADay) {
    store_->write([](bo::StoreTransaction& tx) {
        bo::Plant plant;
        plant.code = "4000";
        plant.name = "Big";
        const bo::Id id = tx.insertPlant(plant);
        const bo::Id department = tx.insertDepartment({0, id, 10, "ALL", "Everything"});
        for (int r = 0; r < 1000; ++r) {
            bo::Route route;
            route.plantId = id;
            route.departmentId = department;
            route.number = 1000 + r;
            route.description = "Route " + std::to_string(r);
            route.productionDay = route.deliveryDay = kDay;
            const bo::Id routeId = tx.insertRoute(route);
            for (int n = 0; n < 3; ++n) {
                bo::Note note;
                note.plantId = id;
                note.routeId = routeId;
                note.number = std::to_string(9000000 + r * 3 + n);
                note.customer = "C";
                note.status = static_cast<bo::NoteStatus>(n);
                note.stop = n + 1;
                note.departmentId = department;
                tx.insertNote(note);
            }
        }
    });
    const std::string json = api("routes", {{"plant", "4000"}});
    size_t routes = 0;
    for (size_t at = json.find("\"new\":1,\"inProgress\":1,\"done\":1"); at != std::string::npos;
         at = json.find("\"new\":1,\"inProgress\":1,\"done\":1", at + 1)) {
        ++routes;
    }
    EXPECT_EQ(routes, 1000u);
    EXPECT_TRUE(has(api("scans", {{"plant", "4000"}}), "\"notes\":3000"));
}

TEST(DashboardOptions, TakenFromServesCommandLine) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string error; // part of the output; empty: parsed
    } cases[] = {
        {"beside the others", {"--db", "x.db", "--stale-minutes", "5", "--demo"}, ""},
        {"TLS wants both files", {"--tls-cert", "c.pem"}, "--tls-cert requires --tls-key"},
        {"minutes are whole and positive", {"--stale-minutes", "0"}, "minutes from 1 to 1440"},
        {"plan hours in order", {"--plan-hours", "14-6"}, "FROM-TO in whole hours"},
        {"a value is missing", {"--dashboard-users"}, "--dashboard-users"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bo::ParsedCommandLine parsed = bo::ParseCommandLine(c.arguments);
        if (c.error.empty()) {
            ASSERT_TRUE(parsed.options) << parsed.output;
            EXPECT_EQ(parsed.options->serve.dashboard.staleMinutes, 5);
            EXPECT_TRUE(parsed.options->serve.demo);
        } else {
            EXPECT_FALSE(parsed.options);
            EXPECT_EQ(parsed.exitCode, 2);
            EXPECT_NE(parsed.output.find(c.error), std::string::npos) << parsed.output;
        }
    }
    const bo::ParsedCommandLine tls =
        bo::ParseCommandLine({"serve", "--tls-cert", "c", "--tls-key", "k", "--tls-listen",
                              "[::1]:9443", "--plan-hours", "5-13"});
    ASSERT_TRUE(tls.options) << tls.output;
    EXPECT_EQ(tls.options->serve.dashboard.tlsHost, "::1");
    EXPECT_EQ(tls.options->serve.dashboard.tlsPort, 9443);
    EXPECT_EQ(tls.options->serve.dashboard.planFrom, 5);
}

TEST(DashboardUsers, TheUsersFile) {
    const std::string hash = bo::HashPassword("s3cret");
    ASSERT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    struct Case {
        const char* name;
        std::string text;
        std::string error;
    } cases[] = {
        {"names, comments and blank lines", "# dock\n\nanna:" + hash + "\r\npiet.j:" + hash + "\n",
         ""},
        {"no colon", "anna " + hash, "line 1: wants name:hash"},
        {"a name with a blank", "an na:" + hash,
         "line 1: a name is 1 to 64 letters, digits, '.', '_', '-' or '@'"},
        {"a plain password is no hash", "anna:secret",
         "line 1: the hash is no Argon2id hash (korvane-backoffice hash-password)"},
        {"twice", "anna:" + hash + "\nanna:" + hash, "line 2: the user anna is there twice"},
        {"empty", "# nobody\n", "no user in the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bo::ParseUsers(c.text).error, c.error);
    }
}

TEST(DashboardUsers, WrongPasswordsLockTheNameForAWhile) {
    bo::Logins::Limits limits;
    limits.lockAfter = 3;
    limits.lockTime = std::chrono::minutes(10);
    bo::Logins logins({{"anna", bo::HashPassword("right")}}, limits);
    using O = bo::Logins::Outcome;
    const auto t0 = bo::Logins::Clock::now();
    std::string session;
    EXPECT_EQ(logins.logIn("anna", "wrong", session, t0), O::Refused);
    EXPECT_EQ(logins.logIn("anna", "right", session, t0), O::Accepted) << "a success forgives";
    EXPECT_EQ(logins.user(session, t0), std::optional<std::string>("anna"));
    EXPECT_EQ(logins.user(session + "0", t0), std::nullopt);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(logins.logIn("anna", "wrong", session, t0), O::Refused);
    }
    EXPECT_EQ(logins.logIn("anna", "wrong", session, t0), O::Locked);
    EXPECT_EQ(logins.logIn("anna", "right", session, t0 + std::chrono::minutes(9)), O::Locked)
        << "not even the right password while locked";
    EXPECT_EQ(logins.logIn("anna", "right", session, t0 + std::chrono::minutes(11)), O::Accepted);
    for (int i = 0; i < 3; ++i) {
        logins.logIn("nobody", "x", session, t0);
    }
    EXPECT_EQ(logins.logIn("nobody", "x", session, t0), O::Locked)
        << "an unknown name locks alike, so a lock tells nothing";
    EXPECT_EQ(logins.user(session, t0 + std::chrono::hours(13)), std::nullopt) << "expired";
}

// Beyond loopback without users the dashboard is off; with users it asks
// for a login and takes none over plain HTTP; every answer carries the policy.
TEST_F(Dashboard, AccessOverHttp) {
    const std::string users = (folder_.path() / "users").string();
    { std::ofstream(users) << "anna:" << bo::HashPassword("right") << '\n'; }
    struct Case {
        const char* name;
        std::string usersFile;
        const char* path;
        int status;
    } cases[] = {
        {"off without users", "", "/dashboard", 404},
        {"off without users, JSON too", "", "/api/v1/routes", 404},
        {"a page wants a login", users, "/dashboard", 303},
        {"JSON wants a login", users, "/api/v1/routes", 401},
        {"the login page", users, "/dashboard/login", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bo::DashboardOptions options;
        options.usersFile = c.usersFile;
        bo::Dashboard dashboard(queries_, options, "0.0.0.0", folder_.path().string());
        ASSERT_EQ(dashboard.error(), "");
        bo::ServerOptions serverOptions;
        serverOptions.threads = 2;
        dashboard.attach(serverOptions);
        bo::Server server(*handlers_, serverOptions);
        ASSERT_TRUE(server.bind());
        server.start();
        httplib::Client client("127.0.0.1", server.port());
        client.set_read_timeout(std::chrono::seconds(5));
        const auto got = client.Get(c.path);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->status, c.status);
        EXPECT_TRUE(has(got->get_header_value("Content-Security-Policy"), "script-src 'self'"));
        if (c.usersFile == users) {
            const auto login = client.Post("/dashboard/login", "user=anna&password=right",
                                           "application/x-www-form-urlencoded");
            ASSERT_TRUE(login);
            EXPECT_EQ(login->status, 403) << "no password over plain HTTP";
            EXPECT_EQ(login->get_header_value("Set-Cookie"), "");
        }
        server.stop();
    }
}

// Where the pages need a login, they carry a logout button; logging out ends
// the session on the server, not only the cookie in the browser. On loopback,
// where nobody logs in, the button stays hidden.
TEST_F(Dashboard, LoggingOutEndsTheSession) {
    const std::string users = (folder_.path() / "users").string();
    { std::ofstream(users) << "anna:" << bo::HashPassword("right") << '\n'; }
    const std::string form = "<form id=\"logout\" method=\"post\" action=\"/dashboard/logout\"";
    for (const bool login : {false, true}) {
        SCOPED_TRACE(login ? "login" : "loopback");
        bo::DashboardOptions options;
        options.usersFile = users;
        options.plainLogin = true; // the test's client speaks plain HTTP
        bo::Dashboard dashboard(queries_, options, login ? "0.0.0.0" : "127.0.0.1",
                                folder_.path().string());
        ASSERT_EQ(dashboard.error(), "");
        bo::ServerOptions serverOptions;
        serverOptions.threads = 2;
        dashboard.attach(serverOptions);
        bo::Server server(*handlers_, serverOptions);
        ASSERT_TRUE(server.bind());
        server.start();
        httplib::Client client("127.0.0.1", server.port());
        client.set_read_timeout(std::chrono::seconds(5));
        httplib::Headers cookie;
        if (login) {
            const auto in = client.Post("/dashboard/login", "user=anna&password=right",
                                        "application/x-www-form-urlencoded");
            ASSERT_TRUE(in);
            const std::string set = in->get_header_value("Set-Cookie");
            ASSERT_NE(set.find("korvane_session="), std::string::npos);
            cookie = {{"Cookie", set.substr(0, set.find(';'))}};
        }
        const auto page = client.Get("/dashboard", cookie);
        ASSERT_TRUE(page);
        ASSERT_EQ(page->status, 200);
        EXPECT_TRUE(has(page->body, form + (login ? ">" : " hidden>")));
        if (login) {
            const auto out = client.Post("/dashboard/logout", cookie, "lang=de",
                                         "application/x-www-form-urlencoded");
            ASSERT_TRUE(out);
            EXPECT_EQ(out->status, 303);
            EXPECT_EQ(out->get_header_value("Location"), "/dashboard/login?lang=de");
            EXPECT_TRUE(has(out->get_header_value("Set-Cookie"), "korvane_session=; "));
            EXPECT_TRUE(has(out->get_header_value("Set-Cookie"), "Max-Age=0"));
            const auto after = client.Get("/dashboard", cookie);
            ASSERT_TRUE(after);
            EXPECT_EQ(after->status, 303) << "the old cookie no longer lets in";
        }
        server.stop();
    }
}

// A certificate and key for 127.0.0.1, valid for an hour.
void WriteCertificate(const std::string& certificate, const std::string& key) {
    EVP_PKEY* pair = EVP_EC_gen("P-256");
    X509* x509 = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    X509_gmtime_adj(X509_getm_notBefore(x509), 0);
    X509_gmtime_adj(X509_getm_notAfter(x509), 3600);
    X509_set_pubkey(x509, pair);
    X509_NAME* name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(x509, name);
    X509_sign(x509, pair, EVP_sha256());
    FILE* out = std::fopen(key.c_str(), "w");
    PEM_write_PrivateKey(out, pair, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    out = std::fopen(certificate.c_str(), "w");
    PEM_write_X509(out, x509);
    std::fclose(out);
    X509_free(x509);
    EVP_PKEY_free(pair);
}

// A client that begins a TLS handshake and then sends a byte now and then
// never finishes it; the HTTPS listener cuts it as the handhelds' listener
// does, and goes on serving.
TEST_F(Dashboard, TheHttpsListenerCutsADribblingClient) {
    const std::string certificate = (folder_.path() / "cert.pem").string();
    const std::string key = (folder_.path() / "key.pem").string();
    WriteCertificate(certificate, key);
    bo::DashboardOptions options;
    options.tlsCert = certificate;
    options.tlsKey = key;
    options.tlsHost = "127.0.0.1";
    options.tlsPort = 0;
    bo::Dashboard dashboard(queries_, options, "127.0.0.1", folder_.path().string());
    ASSERT_EQ(dashboard.error(), "");
    bo::ServerOptions serverOptions;
    serverOptions.connectionLifetime = std::chrono::seconds(1);
    dashboard.attach(serverOptions);
    ASSERT_TRUE(dashboard.start());

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(dashboard.tlsPort()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // The head of a 16 KiB handshake record; its body a byte at a time.
    const char head[] = {0x16, 0x03, 0x01, 0x40, 0x00};
    ASSERT_EQ(::send(fd, head, sizeof head, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof head));
    const auto started = std::chrono::steady_clock::now();
    bool cut = false;
    while (!cut && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        char byte = 1;
        const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
        cut = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
              ::send(fd, &byte, 1, MSG_NOSIGNAL) < 0;
    }
    ::close(fd);
    EXPECT_TRUE(cut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));

    httplib::SSLClient client("127.0.0.1", dashboard.tlsPort());
    client.enable_server_certificate_verification(false);
    client.set_read_timeout(std::chrono::seconds(5));
    const auto page = client.Get("/dashboard");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    dashboard.stop();
}

} // namespace
