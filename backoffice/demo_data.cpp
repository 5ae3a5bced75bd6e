#include "backoffice/demo_data.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace backoffice {

namespace {

// A small fixed generator: the demo must not change with the library's.
class Dice {
public:
    int roll(int below) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<unsigned>(below));
    }

private:
    unsigned long long state_ = 20240601ULL;
};

struct Product {
    const char* code;
    const char* description;
    const char* size;
    const char* packaging;
    bool variable; // weighed: a delivered range around the order
    bool counted;  // counted on the counting screen
};

const Product kFresh[] = {
    {"FR-1010", "Apples Elstar", "class I", "box 10 kg", false, false},
    {"FR-1020", "Vine tomatoes", "loose", "crate 6 kg", true, false},
    {"FR-1030", "Iceberg lettuce", "per piece", "crate 12", false, true},
    {"FR-1040", "Strawberries", "500 g", "tray 8", false, false},
    {"FR-1050", "Lemons", "loose", "net 5 kg", true, false},
    {"FR-1060", "Cucumbers", "per piece", "box 12", false, true},
    {"FR-1070", "Potatoes Bintje", "sack", "25 kg", false, false},
};
const Product kChilled[] = {
    {"CH-3010", "Whole milk", "1 l", "crate 12", false, true},
    {"CH-3020", "Greek yoghurt", "500 g", "tray 6", false, false},
    {"CH-3030", "Butter unsalted", "250 g", "box 40", false, false},
    {"CH-3040", "Free-range eggs", "size M", "tray 30", false, true},
    {"CH-3060", "Cream 35%", "1 l", "crate 6", false, false},
    {"CH-3070", "Smoked salmon", "200 g", "box 10", true, false},
};
const Product kDry[] = {
    {"DR-5010", "Spaghetti", "500 g", "carton 24", false, false},
    {"DR-5030", "Olive oil extra virgin", "1 l", "carton 6", false, true},
    {"DR-5040", "Canned tomatoes", "400 g", "tray 24", false, false},
    {"DR-5050", "Basmati rice", "5 kg", "sack", false, false},
    {"DR-5060", "Coffee beans", "1 kg", "carton 10", false, true},
    {"DR-5070", "Sugar", "1 kg", "carton 10", true, false},
};
// One product per department goes out through the pool: labelled items, or
// bundles.
const Product kPooled[] = {
    {"FR-2010", "Flower bouquet \"Spring\"", "large", "bucket", false, false},
    {"CH-3050", "Gouda cheese wheel", "12 kg", "wheel", false, false},
    {"DR-5020", "Flour type 550", "25 kg", "sack", false, false},
};

const char* const kCustomers[] = {
    "Jansen & Zn",
    "Bakkerij \"De Zon\"",
    "Pizza 12\" Express",
    "L'\xC3\x89picerie Fine",
    "Hotel Westerkade",
    "Caf\xC3\xA9 Central",
    "Restaurant De Gouden Leeuw",
    "Schulz Feinkost GmbH",
    "Market Hall Stall 14",
    "Brasserie <Nord>",
    "Van Dijk Catering",
    "Kita Sonnenschein",
    "Fischer Bistro",
    "Green Bowl Salads",
    "St. Anna Hospital Kitchen",
    "Corner Shop 24/7",
    "Trattoria Bella Vista",
    "Sportpark Canteen",
    "Hofman Delicatessen",
    "Grand Caf\xC3\xA9 Plaza",
    "The Breakfast Club",
    "Meyer's Backstube",
};

const char* const kAreas[] = {"North Harbour", "Old Town",       "Riverside",
                              "Westpark",      "Airport",        "Hillside",
                              "Market Square", "Canal District", "East Gate"};

const char* const kEmployees[] = {"Anna Berger", "Tomas Vermeer", "Lena Hoffmann", "Joost de Wit",
                                  "Mira Koster", "Piet Jansen",   "Sanne Bakker",  "Karl Weber"};

const char* const kInstructions[] = {
    "Keep chilled below 4 \xC2\xB0"
    "C until loading.",
    "Deliver through the back door; the shop opens at 9.",
    "Call the customer 15 minutes before arrival.",
    "Put the invoice in the blue folder.",
    "Fragile: stack no more than two crates high.",
};

const char* const kRemarks[] = {
    "",
    "New customer: check the address twice.",
    "Return the empty crates of last week.",
    "Customer asks for a receipt with the VAT number.",
    "",
};

int dayNumber(const std::string& day) {
    int year = 0, month = 0, dayOfMonth = 0;
    std::sscanf(day.c_str(), "%d-%d-%d", &year, &month, &dayOfMonth);
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = dayOfMonth;
    tm.tm_hour = 12;
    return static_cast<int>(timegm(&tm) / 86400);
}

template <size_t N> const Product& pick(Dice& dice, const Product (&list)[N]) {
    return list[dice.roll(static_cast<int>(N))];
}

} // namespace

std::string AddDays(const std::string& day, int days) {
    const std::time_t t = static_cast<std::time_t>(dayNumber(day) + days) * 86400 + 43200;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    return buffer;
}

std::string LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    return buffer;
}

std::string DemoNoteNumber(int dayOffset, int routeNumber, int stop) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "4%d%03d%02d", dayOffset + 3, routeNumber, stop);
    return buffer;
}

bool SeedDemo(Store& store, const std::string& today) {
    auto tx = store.begin(true);
    if (!tx->empty()) {
        return false;
    }
    tx->setActor({std::nullopt, std::nullopt, today + "T00:00:00.000Z"});
    Dice dice;

    Plant plant;
    plant.code = demo::kPlantCode;
    plant.name = "Korvane Fresh Distribution";
    plant.street = "Havenweg 12";
    plant.city = "Veldhaven";
    plant.zip = "5501 KV";
    plant.state = "NL";
    plant.language = "English";
    plant.demo = true;
    // Every part of the route workflow shows: employee number, container
    // ranges, the information screen after a scan, out-scan pool and
    // counting, order form and colli questions, a route change that asks.
    plant.flags = {/*AORD*/ 2, /*DNPP*/ 1,   /*POF*/ 1,    /*PCS*/ true, /*DNENR*/ true,
                   /*DNC*/ 1,  /*OPI*/ true, /*ACS*/ true, /*ASB*/ true, /*SPN*/ 0};
    plant.id = tx->insertPlant(plant);
    for (const char* code : demo::kHandhelds) {
        tx->registerDevice(plant.id, code);
    }
    tx->insertContainerRange(plant.id, {8, "20000000", "29999999"});      // roll cages
    tx->insertContainerRange(plant.id, {10, "5000000000", "5999999999"}); // pallets

    struct DepartmentPlan {
        int number;
        const char* code;
        const char* description;
        const Product* products;
        int productCount;
        const Product& pooled;
        const char* transport;
        const char* dock;
    };
    const DepartmentPlan departments[] = {
        {10, "FRS", "Fresh produce", kFresh, static_cast<int>(std::size(kFresh)), kPooled[0],
         "Roll cage", "Dock 3"},
        {20, "CHL", "Chilled & dairy", kChilled, static_cast<int>(std::size(kChilled)), kPooled[1],
         "Cool box", "Cold dock 1"},
        {30, "DRY", "Dry goods", kDry, static_cast<int>(std::size(kDry)), kPooled[2], "Pallet",
         "Dock 7"},
    };

    int employeeNumber = demo::kFirstEmployee;
    for (const char* name : kEmployees) {
        tx->insertEmployee({0, plant.id, employeeNumber++, name});
    }

    int container = 20000001;
    int customer = 0;
    for (const DepartmentPlan& plan : departments) {
        const Id departmentId =
            tx->insertDepartment({0, plant.id, plan.number, plan.code, plan.description});
        if (plan.number == 10) {
            tx->setDefaultDepartment(plant.id, departmentId);
        }
        for (int offset = -3; offset <= 3; ++offset) {
            const std::string deliveryDay = AddDays(today, offset);
            for (int r = 1; r <= demo::kRoutesPerDepartment; ++r) {
                Route route;
                route.plantId = plant.id;
                route.departmentId = departmentId;
                route.number = plan.number * 10 + r;
                route.description =
                    kAreas[(plan.number / 10 - 1) * demo::kRoutesPerDepartment + r - 1];
                route.deliveryDay = deliveryDay;
                route.productionDay = AddDays(deliveryDay, -1);
                route.id = tx->insertRoute(route);

                for (int stop = 1; stop <= demo::kNotesPerRoute; ++stop) {
                    Note note;
                    note.plantId = plant.id;
                    note.routeId = route.id;
                    note.number = DemoNoteNumber(offset, route.number, stop);
                    note.customer = kCustomers[customer++ % std::size(kCustomers)];
                    note.status = offset < 0   ? NoteStatus::Done
                                  : offset > 0 ? NoteStatus::New
                                  : stop <= 2  ? NoteStatus::Done
                                  : stop == 3  ? NoteStatus::InProgress
                                               : NoteStatus::New;
                    note.processMode = stop == demo::kNotesPerRoute; // a cash customer
                    note.stop = stop;
                    note.departmentId = departmentId;
                    note.collectionPoint = plan.number / 10;
                    note.collectionPointName = plan.dock;
                    note.transportArticle = plan.transport;
                    note.remark = kRemarks[(stop + r) % std::size(kRemarks)];
                    note.colli = note.status == NoteStatus::Done ? 1 + dice.roll(3) : 0;
                    note.id = tx->insertNote(note);

                    if (stop == 2 || stop == 5) {
                        tx->insertInstruction(note.id, 1,
                                              kInstructions[(stop + r) % std::size(kInstructions)]);
                        if (stop == 5) {
                            tx->insertInstruction(
                                note.id, 2,
                                kInstructions[(stop + r + 1) % std::size(kInstructions)]);
                        }
                    }

                    const int lineCount = 3 + dice.roll(4);
                    int position = 1;
                    bool used[8] = {};
                    for (int l = 0; l < lineCount; ++l) {
                        int index = dice.roll(plan.productCount);
                        while (used[index]) {
                            index = (index + 1) % plan.productCount;
                        }
                        used[index] = true;
                        const Product& product = plan.products[index];
                        Line line;
                        line.noteId = note.id;
                        line.position = position++;
                        line.productCode = product.code;
                        line.description = product.description;
                        line.size = product.size;
                        line.packaging = product.packaging;
                        line.ordered = 2 + dice.roll(11);
                        if (product.variable) {
                            line.minimum = line.ordered - 1;
                            line.maximum = line.ordered + 2;
                        }
                        line.counted = product.counted;
                        if (product.counted) {
                            line.countMinimum = line.ordered;
                            line.countMaximum = line.ordered + 5;
                        }
                        // Packers confirm or correct what the order says; the
                        // pool products below are counted by out-scanning instead.
                        line.delivered = line.ordered;
                        tx->insertLine(line);
                    }
                    Line pooled;
                    pooled.noteId = note.id;
                    pooled.position = position;
                    pooled.productCode = plan.pooled.code;
                    pooled.description = plan.pooled.description;
                    pooled.size = plan.pooled.size;
                    pooled.packaging = plan.pooled.packaging;
                    pooled.ordered = plan.number == 30 ? 8 : 2 + dice.roll(3);
                    pooled.delivered = note.status == NoteStatus::Done ? pooled.ordered : 0;
                    tx->insertLine(pooled);

                    if (note.status != NoteStatus::New) {
                        const int containers =
                            note.status == NoteStatus::Done ? 1 + dice.roll(2) : 1;
                        for (int k = 0; k < containers; ++k) {
                            tx->addContainer(note.id, std::to_string(container++),
                                             deliveryDay + "T06:30:00.000");
                        }
                    }
                }
            }
        }
    }

    // The pool: labelled bouquets and cheese wheels, and flour in bundles
    // (the first thirty ask the worker to confirm).
    for (int i = 1; i <= 200; ++i) {
        tx->insertPoolUnit({0, plant.id, false, std::to_string(9100000 + i), kPooled[0].code, 1,
                            false, std::nullopt, std::nullopt, ""});
        tx->insertPoolUnit({0, plant.id, false, std::to_string(9200000 + i), kPooled[1].code, 1,
                            false, std::nullopt, std::nullopt, ""});
    }
    for (int i = 1; i <= 60; ++i) {
        const bool confirm = i <= 30;
        tx->insertPoolUnit({0, plant.id, true, std::to_string(9300000 + i), kPooled[2].code,
                            confirm ? 4 : 2, confirm, std::nullopt, std::nullopt, ""});
    }

    // A second, smaller plant that works by packing note only.
    Plant counter;
    counter.code = demo::kPackingNotePlantCode;
    counter.name = "Korvane Cash & Carry";
    counter.street = "Industrieweg 4";
    counter.city = "Veldhaven";
    counter.zip = "5502 AB";
    counter.state = "NL";
    counter.language = "Nederlands";
    counter.demo = true;
    // Print closes the note: processed first, then its delivery note printed.
    counter.flags = {
        /*AORD*/ 0, /*DNPP*/ 1,    /*POF*/ 0,     /*PCS*/ false, /*DNENR*/ false,
        /*DNC*/ 0,  /*OPI*/ false, /*ACS*/ false, /*ASB*/ false, /*SPN*/ 0};
    counter.id = tx->insertPlant(counter);
    tx->registerDevice(counter.id, demo::kPackingNoteHandheld);
    const Id counterDepartment = tx->insertDepartment({0, counter.id, 10, "CNT", "Counter sales"});
    Route pickup;
    pickup.plantId = counter.id;
    pickup.departmentId = counterDepartment;
    pickup.number = 900;
    pickup.description = "Customer pick-up";
    pickup.deliveryDay = today;
    pickup.productionDay = today;
    pickup.id = tx->insertRoute(pickup);
    for (int stop = 1; stop <= 8; ++stop) {
        Note note;
        note.plantId = counter.id;
        note.routeId = pickup.id;
        char number[16];
        std::snprintf(number, sizeof number, "52000%02d", stop);
        note.number = number;
        note.customer = kCustomers[(stop * 5) % std::size(kCustomers)];
        note.stop = stop;
        note.departmentId = counterDepartment;
        note.transportArticle = "Trolley";
        note.id = tx->insertNote(note);
        for (int l = 0; l < 3; ++l) {
            const Product& product = pick(dice, kDry);
            Line line;
            line.noteId = note.id;
            line.position = l + 1;
            line.productCode = product.code;
            line.description = product.description;
            line.size = product.size;
            line.packaging = product.packaging;
            line.ordered = 1 + dice.roll(6);
            line.delivered = line.ordered; // to confirm or correct, as at plant 1000
            tx->insertLine(line);
        }
    }

    tx->commit();
    return true;
}

} // namespace backoffice
