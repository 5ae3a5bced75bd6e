#pragma once

#include "backoffice/demo_data.h"
#include "backoffice/handlers.h"
#include "backoffice/print.h"
#include "backoffice/soap.h"
#include "backoffice/sqlite_store.h"
#include "korvo_requests.h"
#include "test_database.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

namespace bo = backoffice;

// The demonstration day of every test, a Wednesday.
inline const std::string kDay = "2026-03-04";

// The returned document of a SOAP answer as a standard XML reader gets it,
// and as the handheld does (cut after 74 characters, "&amp;" decoded twice).
std::string StandardReturnedDocument(const std::string& answer);
std::string KorvoReturnedDocument(const std::string& answer);

// A temporary folder, removed afterwards.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A demo store and the handlers on it, called directly. The clock stands
// still at 08:00 of the demo day unless a test moves it.
class OfficeTest : public ::testing::Test {
protected:
    explicit OfficeTest(const std::string& engine = "sqlite");
    // Skips the test when its engine has no server here.
    void SetUp() override;
    bo::SqliteStore& sqliteStore() { return static_cast<bo::SqliteStore&>(*store_); }

    struct Reply {
        std::string outcome; // "OK" or the code
        std::string message; // the Message of a result document
        pugi::xml_document document;
        pugi::xml_node root() const { return document.document_element(); }
        std::string attribute(const char* element, const char* name) const;
    };
    // One exchange, through the envelope parser and the handlers (the
    // fixture's unless others are given).
    std::unique_ptr<Reply> call(const std::string& function, const std::string& request,
                                bo::Handlers* via = nullptr);
    // The common requests, for the device `device` (a device id).
    std::unique_ptr<Reply> packingNote(int device, int action, const std::string& value,
                                       bo::Id route = 0, bo::Handlers* via = nullptr);
    std::unique_ptr<Reply> delivered(int device, bo::Id note,
                                     std::initializer_list<std::pair<bo::Id, int>> lines);
    std::unique_ptr<Reply> containerScan(int device, bo::Id note, const std::string& code,
                                         bo::Handlers* via = nullptr);
    std::unique_ptr<Reply> poolScan(int device, bo::Id note, const std::string& code,
                                    int action = 0, bo::Id item = 0, bo::Id bundle = 0,
                                    bo::Handlers* via = nullptr);

    // Reads from the store.
    bo::Note note(const std::string& number);
    bo::Id routeId(int number, int dayOffset = 0);
    std::vector<bo::Line> lines(bo::Id note);
    std::int64_t count(const std::string& table);

    TemporaryFolder folder_;
    TestDatabase database_;
    std::chrono::system_clock::time_point now_;
    std::unique_ptr<bo::Store> store_;
    std::unique_ptr<bo::PdfPrinter> printer_;
    std::unique_ptr<bo::Handlers> handlers_;
};

// OfficeTest on each engine: TEST_P, instantiated with kEngines.
class EngineTest : public OfficeTest, public ::testing::WithParamInterface<const char*> {
protected:
    EngineTest() : OfficeTest(GetParam()) {}
};
