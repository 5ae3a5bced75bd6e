#include "backoffice_fixture.h"

#include "backoffice/sqlite.h"

#include <cstdlib>
#include <ctime>

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::chrono::system_clock::time_point at(const std::string& day, int hour) {
    std::tm tm{};
    std::sscanf(day.c_str(), "%d-%d-%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_hour = hour;
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

} // namespace

std::string StandardReturnedDocument(const std::string& answer) {
    pugi::xml_document envelope;
    if (!envelope.load_string(answer.c_str())) {
        return std::string();
    }
    return envelope.select_node("//returnValue").node().child_value();
}

std::string KorvoReturnedDocument(const std::string& answer) {
    const size_t start = answer.find("<returnValue>");
    const size_t end = answer.find("</returnValue>");
    if (start == std::string::npos || end == std::string::npos || start + 74 > end) {
        return std::string();
    }
    std::string text = answer.substr(start + 74, end - start - 74);
    replaceAll(text, "&amp;", "&");
    replaceAll(text, "&lt;", "<");
    replaceAll(text, "&gt;", ">");
    replaceAll(text, "&quot;", "\"");
    replaceAll(text, "&apos;", "'");
    replaceAll(text, "&amp;", "&");
    return text;
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvane-bo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("no temporary folder");
    }
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

OfficeTest::OfficeTest(const std::string& engine)
    : database_(engine, folder_.path()), now_(at(kDay, 8)) {
    if (!database_.available()) {
        return;
    }
    store_ = database_.open();
    bo::SeedDemo(*store_, kDay);
    printer_ = std::make_unique<bo::PdfPrinter>((folder_.path() / "prints").string(), "");
    bo::HandlerOptions options;
    options.demo = true;
    options.clock = [this] { return now_; };
    options.printer = printer_.get();
    handlers_ = std::make_unique<bo::Handlers>(*store_, options);
}

void OfficeTest::SetUp() {
    if (!store_) {
        GTEST_SKIP() << "no " << database_.engine()
                     << " server for the tests (KORVANE_TEST_POSTGRES names one)";
    }
}

std::string OfficeTest::Reply::attribute(const char* element, const char* name) const {
    return root().child(element).attribute(name).value();
}

std::unique_ptr<OfficeTest::Reply> OfficeTest::call(const std::string& function,
                                                    const std::string& request, bo::Handlers* via) {
    auto reply = std::make_unique<Reply>();
    bo::SoapParse parse = bo::ParseEnvelope(KorvoEnvelope(function, request));
    if (!parse.ok) {
        reply->outcome = "FAULT";
        reply->message = parse.error;
        return reply;
    }
    const bo::ExchangeResult result = (via ? via : handlers_.get())->handle(parse.call);
    reply->outcome = result.outcome;
    EXPECT_TRUE(reply->document.load_string(result.document.c_str())) << result.document;
    reply->message = reply->root().child_value("Message");
    return reply;
}

std::unique_ptr<OfficeTest::Reply> OfficeTest::packingNote(int device, int action,
                                                           const std::string& value, bo::Id route,
                                                           bo::Handlers* via) {
    std::string extra;
    if (action == 1) {
        extra = R"(<ScannedNoteNumber xmlns="">)" + EscapeLikeKorvo(value) + "</ScannedNoteNumber>";
    } else if (action == 0) {
        extra = R"(<PackingNote_ID xmlns="">)" + value + "</PackingNote_ID>";
    }
    return call("KORVANEPACKINGNOTE",
                RequestDocument("KorvanePackingnoteRequest",
                                {{"MobileDevice_ID", std::to_string(device)},
                                 {"RouteControl_ID", std::to_string(route)},
                                 {"PlantDepartment_ID", "1"},
                                 {"Action", std::to_string(action)}},
                                extra),
                via);
}

std::unique_ptr<OfficeTest::Reply>
OfficeTest::delivered(int device, bo::Id note,
                      std::initializer_list<std::pair<bo::Id, int>> lines) {
    std::string extra;
    for (const auto& [id, quantity] : lines) {
        extra += R"(<DeliveredLines xmlns=""><PackingNoteLine_ID xmlns="">)" + std::to_string(id) +
                 R"(</PackingNoteLine_ID><Delivered xmlns="">)" + std::to_string(quantity) +
                 "</Delivered></DeliveredLines>";
    }
    return call("KORVANEDELIVEREDQUANTITY",
                RequestDocument("KorvaneDeliveredQuantityRequest",
                                {{"MobileDevice_ID", std::to_string(device)},
                                 {"PackingNote_ID", std::to_string(note)}},
                                extra));
}

namespace {
const std::string kStamp =
    "<ScanTimestamp xmlns=\"\"> \n<year>2026</year>\n<month>3</month>\n"
    "<day>4</day>\n<hours>9</hours>\n<minutes>5</minutes>\n<seconds>7</seconds>\n"
    "<milliseconds>456</milliseconds>\n</ScanTimestamp>";
}

std::unique_ptr<OfficeTest::Reply>
OfficeTest::containerScan(int device, bo::Id note, const std::string& code, bo::Handlers* via) {
    return call("KORVANECONTAINERSCAN",
                RequestDocument("KorvaneContainerScanRequest",
                                {{"MobileDevice_ID", std::to_string(device)},
                                 {"PackingNote_ID", std::to_string(note)},
                                 {"ContainerIDCode", code}},
                                kStamp),
                via);
}

std::unique_ptr<OfficeTest::Reply> OfficeTest::poolScan(int device, bo::Id note,
                                                        const std::string& code, int action,
                                                        bo::Id item, bo::Id bundle,
                                                        bo::Handlers* via) {
    std::string extra = kStamp;
    if (item != 0) {
        extra += R"(<UniqueItem_ID xmlns="">)" + std::to_string(item) + "</UniqueItem_ID>";
    }
    if (bundle != 0) {
        extra += R"(<UniqueBundle_ID xmlns="">)" + std::to_string(bundle) + "</UniqueBundle_ID>";
    }
    return call("KORVANEPOOLSCAN",
                RequestDocument("KorvanePoolScanRequest",
                                {{"MobileDevice_ID", std::to_string(device)},
                                 {"PackingNote_ID", std::to_string(note)},
                                 {"Action", std::to_string(action)},
                                 {"IDCode", code}},
                                extra),
                via);
}

bo::Note OfficeTest::note(const std::string& number) {
    auto tx = store_->begin(false);
    return tx->noteByNumber(1, number).value();
}

bo::Id OfficeTest::routeId(int number, int dayOffset) {
    auto tx = store_->begin(false);
    for (const bo::Route& route : tx->routes(1, std::nullopt, bo::AddDays(kDay, dayOffset), true)) {
        if (route.number == number) {
            return route.id;
        }
    }
    return 0;
}

std::vector<bo::Line> OfficeTest::lines(bo::Id note) {
    return store_->begin(false)->lines(note);
}

std::int64_t OfficeTest::count(const std::string& table) {
    return database_.count(table);
}
