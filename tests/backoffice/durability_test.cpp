// Several handhelds at once, and a server killed in the middle of their work.
#include "backoffice/embedded_back_office.h"
#include "backoffice/sqlite.h"
#include "backoffice/sqlite_site_data.h"
#include "backoffice/sqlite_store.h"
#include "backoffice_fixture.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <latch>
#include <map>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

const char* const kTarget = "/qvrgenericwebservice/QVRGenericWebService?WSDL";

// The outcome of one exchange: the code, "OK", or "" when no answer came.
std::string exchange(httplib::Client& client, const std::string& function,
                     const std::string& request) {
    const auto reply =
        client.Post(kTarget, KorvoEnvelope(function, request), "text/xml; charset=ISO-8859-1");
    if (!reply || reply->status != 200) {
        return std::string();
    }
    const std::string document = StandardReturnedDocument(reply->body);
    pugi::xml_document parsed;
    if (!parsed.load_string(document.c_str())) {
        return std::string();
    }
    const std::string code = parsed.document_element().child_value("Code");
    return code.empty() ? "OK" : code;
}

std::string settingsFor(const std::string& handheld) {
    return RequestDocument("KorvaneSettingsRequest",
                           {{"PlantCode", "1000"}, {"PDACode", handheld}});
}

std::string openNote(int device, const std::string& id) {
    return RequestDocument("KorvanePackingnoteRequest",
                           {{"MobileDevice_ID", std::to_string(device)},
                            {"RouteControl_ID", "0"},
                            {"PlantDepartment_ID", "1"},
                            {"Action", "0"},
                            {"PackingNote_ID", id}});
}

} // namespace

TEST(Contention, TwoHandheldsOpeningOneNoteAtOnceOneWins) {
    bo::EmbeddedBackOffice office(kDay);
    const auto ids =
        office.query("SELECT id FROM notes WHERE status = 0 AND plant_id = 1 LIMIT 30");
    ASSERT_EQ(ids.size(), 30u);
    for (const auto& row : ids) {
        std::string outcomes[2];
        std::atomic<int> ready{0};
        std::thread devices[2];
        for (int d = 0; d < 2; ++d) {
            devices[d] = std::thread([&, d] {
                httplib::Client client("127.0.0.1", office.port());
                ++ready;
                while (ready < 2) {
                }
                outcomes[d] = exchange(client, "KORVANEPACKINGNOTE", openNote(d + 1, row[0]));
            });
        }
        for (std::thread& device : devices) {
            device.join();
        }
        std::sort(std::begin(outcomes), std::end(outcomes));
        EXPECT_EQ(outcomes[0], bo::Codes::NoteHeld) << "note " << row[0];
        EXPECT_EQ(outcomes[1], "OK") << "note " << row[0];
        const std::string holder =
            office.scalar("SELECT held_by FROM notes WHERE id = ?", {row[0]});
        EXPECT_TRUE(holder == "1" || holder == "2");
    }
}

// Handhelds change quantities and register containers; the server is killed
// with SIGKILL while they do; after a restart every change whose answer came
// back is in the database.
TEST(Durability, AKilledServerKeepsEveryAcknowledgedChange) {
    TemporaryFolder folder;
    const std::string database = (folder.path() / "office.db").string();
    const std::string portFile = (folder.path() / "port").string();
    const auto start = [&] {
        std::remove(portFile.c_str());
        const char* argv[] = {BACKOFFICE_BINARY, "--db",           database.c_str(), "--demo",
                              "--demo-day",      kDay.c_str(),     "--listen",       "127.0.0.1:0",
                              "--port-file",     portFile.c_str(), "--quiet",        nullptr};
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, BACKOFFICE_BINARY, nullptr, nullptr, const_cast<char**>(argv),
                              environ),
                  0);
        int port = 0;
        for (int i = 0; i < 1000 && port == 0; ++i) {
            std::ifstream(portFile) >> port;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::pair(pid, port);
    };

    auto [pid, port] = start();
    ASSERT_GT(port, 0);
    constexpr int kHandhelds = 8;
    std::mutex mutex;
    std::map<std::string, int> acknowledged; // line id -> quantity
    std::map<std::string, int> attempted;
    std::vector<std::string> containers; // acknowledged
    std::atomic<bool> killed{false};
    // Each handheld its own new note, chosen before anyone opens one.
    std::vector<std::string> notes;
    {
        bo::sqlite::Database db(database);
        auto q =
            db.query("SELECT id FROM notes WHERE status = 0 AND plant_id = 1 ORDER BY id LIMIT ?");
        q.bind(1, std::int64_t{kHandhelds});
        while (q.next()) {
            notes.push_back(q.text(0));
        }
    }
    ASSERT_EQ(notes.size(), static_cast<size_t>(kHandhelds));
    std::vector<std::thread> handhelds;
    for (int h = 0; h < kHandhelds; ++h) {
        handhelds.emplace_back([&, h, port = port] {
            httplib::Client client("127.0.0.1", port);
            client.set_connection_timeout(2);
            char code[8];
            std::snprintf(code, sizeof code, "LD%02d", h);
            if (exchange(client, "KORVANESETTINGS", settingsFor(code)) != "OK") {
                return;
            }
            // The device ids follow the demo's devices in order of registration.
            const std::string device = [&] {
                bo::sqlite::Database db(database);
                auto q = db.query("SELECT id FROM devices WHERE code = ?");
                q.bind(1, std::string(code));
                return q.next() ? q.text(0) : std::string();
            }();
            const std::string note = notes.at(static_cast<size_t>(h));
            const std::string line = [&] {
                bo::sqlite::Database db(database);
                auto q = db.query("SELECT id FROM lines WHERE note_id = ? ORDER BY id LIMIT 1");
                q.bind(1, note);
                return q.next() ? q.text(0) : std::string();
            }();
            if (exchange(client, "KORVANEPACKINGNOTE", openNote(std::stoi(device), note)) != "OK") {
                return;
            }
            for (int k = 1; k < 100000 && !killed; ++k) {
                {
                    std::lock_guard lock(mutex);
                    attempted[line] = k;
                }
                const std::string quantity =
                    RequestDocument("KorvaneDeliveredQuantityRequest",
                                    {{"MobileDevice_ID", device}, {"PackingNote_ID", note}},
                                    R"(<DeliveredLines xmlns=""><PackingNoteLine_ID xmlns="">)" +
                                        line + R"(</PackingNoteLine_ID><Delivered xmlns="">)" +
                                        std::to_string(k) + "</Delivered></DeliveredLines>");
                if (exchange(client, "KORVANEDELIVEREDQUANTITY", quantity) != "OK") {
                    break;
                }
                {
                    std::lock_guard lock(mutex);
                    acknowledged[line] = k;
                }
                const std::string container = std::to_string(22000000 + h * 10000 + k);
                const std::string scan = RequestDocument("KorvaneContainerScanRequest",
                                                         {{"MobileDevice_ID", device},
                                                          {"PackingNote_ID", note},
                                                          {"ContainerIDCode", container}});
                if (exchange(client, "KORVANECONTAINERSCAN", scan) != "OK") {
                    break;
                }
                std::lock_guard lock(mutex);
                containers.push_back(container);
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(pid, SIGKILL);
    killed = true;
    waitpid(pid, nullptr, 0);
    for (std::thread& handheld : handhelds) {
        handheld.join();
    }
    ASSERT_EQ(acknowledged.size(), static_cast<size_t>(kHandhelds));
    ASSERT_GT(containers.size(), 20u) << "the load ran";

    auto [again, secondPort] = start();
    ASSERT_GT(secondPort, 0) << "the server starts again on the same file";
    {
        httplib::Client client("127.0.0.1", secondPort);
        EXPECT_EQ(exchange(client, "KORVANESETTINGS", settingsFor("HH01")), "OK");
    }
    bo::sqlite::Database db(database);
    for (const auto& [line, quantity] : acknowledged) {
        auto q = db.query("SELECT delivered FROM lines WHERE id = ?");
        q.bind(1, line);
        ASSERT_TRUE(q.next());
        // The change in flight when the server died may or may not be there.
        EXPECT_TRUE(q.integer(0) == quantity || q.integer(0) == attempted[line])
            << "line " << line << ": " << q.integer(0) << ", acknowledged " << quantity;
    }
    for (const std::string& container : containers) {
        auto q = db.query("SELECT COUNT(*) FROM note_containers WHERE code = ?");
        q.bind(1, container);
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.integer(0), 1) << container;
    }
    kill(again, SIGTERM);
    int status = 0;
    waitpid(again, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "SIGTERM stops it cleanly";
}

namespace {

// Runs `korvane-backoffice import` on the files; killed with SIGKILL as soon
// as `killWhen` (asked every millisecond) says so.
int runImport(const std::string& database, const std::vector<std::string>& files,
              const std::function<bool()>& killWhen) {
    std::vector<const char*> argv = {BACKOFFICE_BINARY, "import", "--db", database.c_str()};
    for (const std::string& file : files) {
        argv.push_back(file.c_str());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, BACKOFFICE_BINARY, &quiet, nullptr,
                                    const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (killWhen) {
        for (int i = 0; i < 60000 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
            if (killWhen()) {
                kill(pid, SIGKILL);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    waitpid(pid, &status, 0);
    return status;
}

// The same on SQLite, killed once it has started writing rows ahead of its
// switch when `killAhead`.
int runImport(const std::string& database, const std::vector<std::string>& files, bool killAhead) {
    if (!killAhead) {
        return runImport(database, files, std::function<bool()>());
    }
    bo::sqlite::Database db(database);
    return runImport(database, files, [&db] {
        // Mid-way: the notes are in, lines are going in.
        auto q = db.query("SELECT COUNT(*) FROM lines WHERE EXISTS(SELECT 1 FROM audit WHERE "
                          "action = 'pending')");
        return q.next() && q.integer(0) > 0;
    });
}

// The master data of the example site, and a large day of 200 routes of 50
// notes of 4 lines each, in `folder`.
std::pair<std::vector<std::string>, std::vector<std::string>>
largeDay(const std::filesystem::path& folder) {
    const std::filesystem::path examples = BACKOFFICE_EXAMPLES;
    std::vector<std::string> master;
    for (const char* kind : {"plants.csv", "departments.csv", "products.csv"}) {
        master.push_back((examples / kind).string());
    }
    std::vector<std::string> day;
    const auto open = [&](const char* name, const char* header) {
        day.push_back((folder / name).string());
        std::ofstream out(day.back(), std::ios::binary);
        out << header << "\n";
        return out;
    };
    auto routes = open("routes.csv", "plant,route,delivery_day,production_day,department");
    auto notes = open("notes.csv", "plant,note,route,delivery_day,stop,customer,instructions");
    auto lines = open("lines.csv", "plant,note,position,product,ordered");
    for (int route = 100; route < 300; ++route) {
        routes << "3000," << route << ",2026-05-04,2026-05-03,10\n";
        for (int stop = 1; stop <= 50; ++stop) {
            const int note = 8000000 + route * 100 + stop;
            notes << "3000," << note << ',' << route << ",2026-05-04," << stop << ",Shop " << note
                  << ',' << (stop % 2 ? "\"Gate 2\nRing\"" : "") << "\n";
            for (int position = 1; position <= 4; ++position) {
                lines << "3000," << note << ',' << position << ",P-100," << position << "\n";
            }
        }
    }
    return {master, day};
}

std::string dumpDay(const std::string& database) {
    bo::sqlite::Database db(database);
    std::string out;
    for (const char* table : {"routes", "notes", "lines", "instructions"}) {
        auto q = db.query(std::string("SELECT * FROM ") + table + " ORDER BY 1, 2");
        while (q.next()) {
            for (int c = 0; c < q.columns(); ++c) {
                out += q.text(c) + "|";
            }
            out += "\n";
        }
    }
    return out;
}

// A serve process on `database`; its pid and port (0 when it did not come up).
std::pair<pid_t, int> startServer(const std::string& database, const std::string& portFile) {
    std::remove(portFile.c_str());
    const char* argv[] = {BACKOFFICE_BINARY, "--db",           database.c_str(), "--demo",
                          "--demo-day",      kDay.c_str(),     "--listen",       "127.0.0.1:0",
                          "--port-file",     portFile.c_str(), "--quiet",        nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, BACKOFFICE_BINARY, nullptr, nullptr, const_cast<char**>(argv), environ) !=
        0) {
        return {0, 0};
    }
    int port = 0;
    for (int i = 0; i < 1000 && port == 0; ++i) {
        std::ifstream(portFile) >> port;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {pid, port};
}

std::string poolScanOf(const std::string& device, const std::string& note, int item) {
    return RequestDocument("KorvanePoolScanRequest", {{"MobileDevice_ID", device},
                                                      {"PackingNote_ID", note},
                                                      {"Action", "0"},
                                                      {"IDCode", std::to_string(item)}});
}

} // namespace

// An import killed while it writes a large day ahead of its switch leaves
// nothing that a handheld finds; the next import removes what it wrote and
// goes in whole, as if the first had never run.
TEST(Durability, AKilledImportLeavesNothingAndTheNextGoesInWhole) {
    TemporaryFolder folder;
    const auto [master, day] = largeDay(folder.path());
    const std::string killed = (folder.path() / "killed.db").string();
    const std::string clean = (folder.path() / "clean.db").string();
    for (const std::string& database : {killed, clean}) {
        ASSERT_EQ(runImport(database, master, false), 0);
    }

    const int status = runImport(killed, day, true);
    ASSERT_TRUE(WIFSIGNALED(status)) << "killed while writing ahead, status " << status;
    {
        bo::sqlite::Database db(killed);
        auto ahead = db.query("SELECT (SELECT COUNT(*) FROM notes), (SELECT COUNT(*) FROM lines)");
        ASSERT_TRUE(ahead.next());
        EXPECT_EQ(ahead.integer(0), 10000) << "the import had written its notes ahead";
        EXPECT_LT(ahead.integer(1), 40000) << "and some of their lines";
    }
    {
        bo::SqliteStore store(killed);
        auto tx = store.begin(false);
        const std::optional<bo::Plant> plant = tx->plantByCode("3000");
        ASSERT_TRUE(plant);
        EXPECT_FALSE(tx->noteByNumber(plant->id, "8010001")) << "a handheld's search by number";
        EXPECT_TRUE(tx->routes(plant->id, std::nullopt, "2026-05-04", false).empty());
    }
    {
        // What serve does at its start.
        bo::SqliteStore store(killed);
        EXPECT_TRUE(bo::SqliteSiteData(store).rollBackUnfinishedImport());
        EXPECT_FALSE(bo::SqliteSiteData(store).rollBackUnfinishedImport()) << "once";
        bo::sqlite::Database db(killed);
        auto left = db.query("SELECT (SELECT COUNT(*) FROM notes) + (SELECT COUNT(*) FROM lines) "
                             "+ (SELECT COUNT(*) FROM instructions)");
        ASSERT_TRUE(left.next());
        EXPECT_EQ(left.integer(0), 0);
    }

    ASSERT_EQ(runImport(killed, day, false), 0);
    ASSERT_EQ(runImport(clean, day, false), 0);
    EXPECT_EQ(dumpDay(killed), dumpDay(clean));
    bo::sqlite::Database db(killed);
    auto q = db.query("SELECT (SELECT COUNT(*) FROM routes WHERE notes_new <> (SELECT COUNT(*) "
                      "FROM notes WHERE route_id = routes.id AND status = 0)), (SELECT "
                      "group_concat(action) FROM audit WHERE entity = 'import' AND after LIKE "
                      "'%routes.csv%')");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.integer(0), 0) << "every route counts its notes";
    EXPECT_EQ(q.text(1), "rolled back,import");
}

// On PostgreSQL an import is one transaction: killed while it applies the
// day, it leaves nothing and no lock behind, and the next goes in whole.
TEST(Durability, AKilledImportOnPostgresLeavesNothing) {
    TemporaryFolder folder;
    TestDatabase database("postgresql", folder.path());
    if (!database.available()) {
        GTEST_SKIP() << "no PostgreSQL server for the tests";
    }
    const auto [master, day] = largeDay(folder.path());
    ASSERT_EQ(runImport(database.location(), master, false), 0);
    const int status = runImport(database.location(), day, [&database] {
        return database.count("pg_stat_activity WHERE state = 'active' AND query LIKE 'INSERT "
                              "INTO lines%'") > 0;
    });
    if (!WIFSIGNALED(status)) {
        GTEST_SKIP() << "the import finished before it could be killed, status " << status;
    }
    EXPECT_EQ(database.count("routes") + database.count("notes") + database.count("lines") +
                  database.count("instructions"),
              0);
    ASSERT_EQ(runImport(database.location(), day, false), 0) << "no import holds the lock";
    EXPECT_EQ(database.count("notes"), 10000);
    EXPECT_EQ(database.count("lines"), 40000);
    EXPECT_EQ(database.count("routes WHERE notes_new <> (SELECT COUNT(*) FROM notes WHERE "
                             "route_id = routes.id AND status = 0)"),
              0)
        << "every route counts its notes";
}

// Two serve processes on one PostgreSQL database, twenty handhelds on each:
// all open the same ten notes at once, the holders count the same pool items,
// then one server is killed under load and the other goes on answering, with
// nothing acknowledged lost.
TEST(Instances, TwoServersOnOneDatabaseAreOneBackOfficeAndOutliveAKill) {
    TemporaryFolder folder;
    TestDatabase database("postgresql", folder.path());
    if (!database.available()) {
        GTEST_SKIP() << "no PostgreSQL server for the tests";
    }
    const auto [firstPid, firstPort] =
        startServer(database.location(), (folder.path() / "first").string());
    ASSERT_GT(firstPort, 0);
    const auto [secondPid, secondPort] =
        startServer(database.location(), (folder.path() / "second").string());
    ASSERT_GT(secondPort, 0);
    const int ports[] = {firstPort, secondPort};

    std::vector<std::string> notes;
    {
        const std::unique_ptr<bo::Store> store = database.open();
        auto tx = store->begin(false);
        for (int stop = 1; stop <= 5; ++stop) {
            for (const int route : {101, 102}) {
                notes.push_back(
                    std::to_string(tx->noteByNumber(1, bo::DemoNoteNumber(1, route, stop))->id));
            }
        }
    }
    constexpr int kHandhelds = 40;
    std::vector<std::string> devices(kHandhelds), opened(kHandhelds);
    std::vector<int> accepted(kHandhelds, 0);
    std::latch together(kHandhelds);
    std::vector<std::thread> handhelds;
    for (int h = 0; h < kHandhelds; ++h) {
        handhelds.emplace_back([&, h] {
            httplib::Client client("127.0.0.1", ports[h % 2]);
            const auto reply = client.Post(
                kTarget, KorvoEnvelope("KORVANESETTINGS", settingsFor("TWO" + std::to_string(h))),
                "text/xml; charset=ISO-8859-1");
            pugi::xml_document settings;
            if (reply) {
                settings.load_string(StandardReturnedDocument(reply->body).c_str());
            }
            devices[h] = settings.document_element().child("Settings").attribute("MDID").value();
            together.arrive_and_wait();
            const std::string& note = notes[h % 10];
            opened[h] =
                exchange(client, "KORVANEPACKINGNOTE", openNote(std::stoi(devices[h]), note));
            if (opened[h] != "OK") {
                return;
            }
            for (int j = 0; j < 20; ++j) {
                const int item = 9100001 + (j + 2 * (h % 10)) % 20;
                const auto scan = client.Post(
                    kTarget, KorvoEnvelope("KORVANEPOOLSCAN", poolScanOf(devices[h], note, item)),
                    "text/xml; charset=ISO-8859-1");
                accepted[h] += scan && scan->body.find("ACCEPTED") != std::string::npos ? 1 : 0;
            }
        });
    }
    for (std::thread& handheld : handhelds) {
        handheld.join();
    }
    std::map<std::string, int> winners;
    int counted = 0;
    for (int h = 0; h < kHandhelds; ++h) {
        EXPECT_TRUE(opened[h] == "OK" || opened[h] == bo::Codes::NoteHeld) << opened[h];
        winners[notes[h % 10]] += opened[h] == "OK" ? 1 : 0;
        counted += accepted[h];
    }
    for (const auto& [note, holders] : winners) {
        EXPECT_EQ(holders, 1) << "note " << note;
    }
    EXPECT_GT(counted, 0);
    EXPECT_EQ(database.count("pool_units WHERE note_id IS NOT NULL"), counted);
    EXPECT_EQ(database.count("audit WHERE entity = 'pool_item'"), counted);

    // The holders save quantities through their own server; the first one
    // is killed; those on it go over to the second, as a handheld would.
    std::mutex mutex;
    std::map<std::string, std::pair<int, int>> saved; // line -> acknowledged, attempted
    std::atomic<bool> killed{false};
    std::atomic<int> afterKill{0};
    std::vector<std::thread> savers;
    for (int h = 0; h < kHandhelds; ++h) {
        if (opened[h] != "OK") {
            continue;
        }
        savers.emplace_back([&, h] {
            const std::string& note = notes[h % 10];
            std::string line;
            {
                const std::unique_ptr<bo::Store> store = database.open();
                line = std::to_string(store->begin(false)->lines(std::stoll(note)).front().id);
            }
            int port = ports[h % 2];
            for (int k = 1; k < 100000 && afterKill < 400; ++k) {
                httplib::Client client("127.0.0.1", port);
                client.set_connection_timeout(2);
                {
                    std::lock_guard lock(mutex);
                    saved[line].second = k;
                }
                const std::string request =
                    RequestDocument("KorvaneDeliveredQuantityRequest",
                                    {{"MobileDevice_ID", devices[h]}, {"PackingNote_ID", note}},
                                    R"(<DeliveredLines xmlns=""><PackingNoteLine_ID xmlns="">)" +
                                        line + R"(</PackingNoteLine_ID><Delivered xmlns="">)" +
                                        std::to_string(k) + "</Delivered></DeliveredLines>");
                const std::string outcome = exchange(client, "KORVANEDELIVEREDQUANTITY", request);
                if (outcome.empty()) {
                    ASSERT_TRUE(killed.load()) << "no answer before the kill";
                    ASSERT_NE(port, secondPort) << "the second server stopped answering";
                    port = secondPort;
                    continue;
                }
                ASSERT_EQ(outcome, "OK");
                std::lock_guard lock(mutex);
                saved[line].first = k;
                afterKill += killed ? 1 : 0;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    killed = true; // before the kill: a handheld may see it at once
    kill(firstPid, SIGKILL);
    waitpid(firstPid, nullptr, 0);
    for (std::thread& saver : savers) {
        saver.join();
    }
    EXPECT_GE(afterKill.load(), 400) << "the second server answered on";
    const std::unique_ptr<bo::Store> store = database.open();
    auto tx = store->begin(false);
    for (const auto& [line, quantities] : saved) {
        const auto& [acknowledged, attempted] = quantities;
        std::int64_t delivered = -1;
        for (const std::string& note : notes) {
            for (const bo::Line& l : tx->lines(std::stoll(note))) {
                delivered = std::to_string(l.id) == line ? l.delivered : delivered;
            }
        }
        EXPECT_TRUE(delivered == acknowledged || delivered == attempted)
            << "line " << line << ": " << delivered << ", acknowledged " << acknowledged;
    }
    kill(secondPid, SIGTERM);
    waitpid(secondPid, nullptr, 0);
}
