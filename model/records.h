#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Records of the back office's answers. Each is named after its XML element and
// each field after the XML attribute (or child element) it comes from.

struct Plant {
    std::int32_t PID = 0;
    QString PN; // name
    QString S;  // street
    QString C;  // city
    QString ZIP;
    QString ST; // state
};

struct ContainerIDCodeRange {
    std::int32_t L = 0; // id length
    QString MINR;
    QString MAXR;
};

struct PlantDepartments {
    std::int32_t PDIDS = 0;
    QString PDC; // code
    QString PDD; // description
};

// Plant settings; one per run, updated in place by every settings answer.
struct Settings {
    std::int16_t AORD = 0; // route-change rule: 0 keep, 1 take over, 2 ask
    std::int16_t DNPP = 0; // print mode of done notes
    std::int16_t POF = 0;  // order-form question before printing
    bool PCS = false;      // ask for the number of colli before printing
    std::int32_t PDID = 0; // preselected department
    bool DNENR = false;    // an employee number must be entered
    std::int16_t DNC = 0;
    bool OPI = false;
    std::int32_t MDID = 0; // this handheld's id at the back office
    bool ACS = false;
    bool ASB = false;
    std::int16_t SPN = 0;
    std::optional<Plant> plant;
    std::vector<ContainerIDCodeRange> containerRanges;
    std::vector<PlantDepartments> departments;
};

struct Employee {
    std::int32_t EID = 0;
    QString N; // name
    std::int32_t ENR = 0;
};

struct RouteControl {
    std::int32_t RCID = 0;
    std::int32_t RNR = 0;
    QString D;
    std::int32_t QN = 0; // new notes
    std::int32_t QP = 0; // notes in progress
    std::int32_t QC = 0; // completed notes
};

struct PackingNoteContainer {
    QString CPID;
};

struct PackingNoteInstruction {
    QString UI;
};

// Values of child-element texts, not attributes.
struct PackingNoteDetails {
    std::int32_t SN = 0;
    std::int32_t DN = 0; // department number
    QString DD;          // department description
    QString TA;          // transport article
    QString R;
    std::int32_t CPN = 0; // collection point number
    QString CPD;          // collection point description
    std::vector<PackingNoteContainer> C;
    std::vector<PackingNoteInstruction> UI;
};

// The route a scanned note belongs to.
struct RouteChange {
    QString FD; // the route's date
    std::int32_t RCID = 0;
    std::int32_t RNR = 0;
    QString D;
    std::int32_t QN = 0;
    std::int32_t QP = 0;
    std::int32_t QC = 0;
};

struct PackingNote {
    std::int32_t PNID = 0;
    QString NNR; // note number
    QString CN;  // customer name
    bool SP = false;
    QString SC;            // status code
    std::int32_t PNCN = 0; // number of colli
    std::optional<PackingNoteDetails> details;
    std::optional<RouteChange> routeChange;
};

struct packingnoteline {
    std::int32_t PNLID = 0;
    std::int32_t PS = 0;
    QString PC; // product code
    QString PD; // product description
    QString SD;
    QString FMD;
    std::int32_t QO = 0;   // ordered
    std::int32_t QD = 0;   // delivered
    std::int32_t MINQ = 0; // lowest allowed delivered quantity
    std::int32_t MAXQ = 0; // highest allowed delivered quantity
    std::int32_t editedQuantity = -1;
    std::int32_t parsedQuantity = 0;
    // Screen bookkeeping; the pool-scan answer stores its bundle count here.
    std::int32_t lineFlag = 0;
};

// Lines of a note (line answer) or products to count (count answer).
struct PackingNoteLineList {
    QString PackingNote_ID;
    QString StatusCode;
    std::vector<packingnoteline> lines;
};

struct ContainerScanRecord {
    std::int32_t PNID = 0;
    QString CPID;
    QString SC;
};

struct Flag {
    QString FC;
    QString D;  // message text
    QString FT; // message text, second part
    std::int32_t P = 0;
    QString C;          // background colour "RRGGBB"
    std::int32_t A = 0; // message kind 0 to 3
};

struct PoolScanResult {
    std::int32_t PackingNote_ID = 0;
    QString StatusCode; // "30": the scan was accepted
    std::int32_t UniqueItem_ID = 0;
    std::int32_t UniqueBundle_ID = 0;
    std::vector<Flag> flags;
    std::optional<packingnoteline> line;
};
