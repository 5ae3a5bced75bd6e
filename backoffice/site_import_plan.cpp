#include "backoffice/site_import_plan.h"

#include <stdexcept>

namespace backoffice::import_plan {

// What the lines need of their products, those of the files over those
// already there (filled once the products are resolved).
#define PRODUCT(field) "p." field

const char* const kWorkedNote = "(n.status <> 0 OR n.held_by IS NOT NULL)";

const std::vector<KindPlan>& Plans() {
    static const std::vector<KindPlan> plans = {
        {"plants",
         "plants",
         true,
         "CASE WHEN s.default_department = 0 THEN 0 ELSE COALESCE((SELECT target FROM "
         "stage_departments d WHERE d.plant = s.plant AND d.department = s.default_department), "
         "(SELECT id FROM main.departments WHERE plant_id = s.plant_id AND number = "
         "s.default_department)) END",
         "default_department",
         "unknown department",
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.plants WHERE code = s.plant",
         {{"code", "s.plant"},
          {"name", "s.name"},
          {"street", "s.street"},
          {"city", "s.city"},
          {"zip", "s.zip"},
          {"state", "s.state"},
          {"language", "COALESCE(NULLIF(s.language, ''), 'English')"},
          {"aord", "s.aord"},
          {"dnpp", "s.dnpp"},
          {"pof", "s.pof"},
          {"pcs", "s.pcs"},
          {"dnenr", "s.dnenr"},
          {"dnc", "s.dnc"},
          {"opi", "s.opi"},
          {"acs", "s.acs"},
          {"asb", "s.asb"},
          {"spn", "s.spn"},
          {"default_department", "NULLIF(s.ref_id, 0)"}}},
        {"handhelds",
         "devices",
         false,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.devices WHERE plant_id = s.plant_id AND code = s.handheld",
         {{"plant_id", "s.plant_id"}, {"code", "s.handheld"}}},
        {"departments",
         "departments",
         true,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.departments WHERE plant_id = s.plant_id AND number = s.department",
         {{"plant_id", "s.plant_id"},
          {"number", "s.department"},
          {"code", "s.code"},
          {"description", "s.description"}}},
        {"employees",
         "employees",
         true,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.employees WHERE plant_id = s.plant_id AND number = s.employee",
         {{"plant_id", "s.plant_id"}, {"number", "s.employee"}, {"name", "s.name"}}},
        {"container_ranges",
         "container_ranges",
         false,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.container_ranges WHERE plant_id = s.plant_id AND length = s.length "
         "AND minimum = s.minimum AND maximum = s.maximum",
         {{"plant_id", "s.plant_id"},
          {"length", "s.length"},
          {"minimum", "s.minimum"},
          {"maximum", "s.maximum"}}},
        {"products",
         "products",
         true,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.products WHERE plant_id = s.plant_id AND code = s.product",
         {{"plant_id", "s.plant_id"},
          {"code", "s.product"},
          {"description", "s.description"},
          {"size", "s.size"},
          {"packaging", "s.packaging"},
          {"pool", "s.pool"}}},
        {"routes",
         "routes",
         true,
         "COALESCE((SELECT target FROM stage_departments d WHERE d.plant = s.plant AND "
         "d.department = s.department), (SELECT id FROM main.departments WHERE plant_id = "
         "s.plant_id AND number = s.department))",
         "department",
         "unknown department",
         nullptr,
         nullptr,
         nullptr,
         "SELECT id FROM main.routes WHERE plant_id = s.plant_id AND delivery_day = "
         "s.delivery_day AND number = s.route",
         {{"plant_id", "s.plant_id"},
          {"department_id", "s.ref_id"},
          {"number", "s.route"},
          {"description", "s.description"},
          {"production_day", "s.production_day"},
          {"delivery_day", "s.delivery_day"}}},
        {"notes",
         "notes",
         true,
         "COALESCE((SELECT target FROM stage_routes r WHERE r.plant = s.plant AND r.route = "
         "s.route AND r.delivery_day = s.delivery_day), (SELECT id FROM main.routes WHERE "
         "plant_id = s.plant_id AND number = s.route AND delivery_day = s.delivery_day))",
         "route",
         "unknown route on that delivery day",
         "COALESCE((SELECT ref_id FROM stage_routes WHERE target = s.ref_id), (SELECT "
         "department_id FROM main.routes WHERE id = s.ref_id))",
         nullptr,
         nullptr,
         "SELECT id FROM main.notes WHERE plant_id = s.plant_id AND number = s.note",
         {{"plant_id", "s.plant_id"},
          {"route_id", "s.ref_id"},
          {"number", "s.note"},
          {"customer", "s.customer"},
          {"process_mode", "s.cash_customer"},
          {"stop", "s.stop"},
          {"department_id", "s.ref2_id"},
          {"collection_point", "s.collection_point"},
          {"collection_point_name", "s.collection_point_name"},
          {"transport_article", "s.transport_article"}},
         "(SELECT group_concat(text, char(10)) FROM (SELECT text FROM main.instructions WHERE "
         "note_id = t.id ORDER BY position)) IS NULLIF(s.instructions, '')",
         "EXISTS(SELECT 1 FROM main.notes n WHERE n.id = s.target AND (n.status <> 0 OR "
         "n.held_by IS NOT NULL))",
         "(t.status <> 0 OR t.held_by IS NOT NULL)",
         "the note is open or done on a handheld: left as it is"},
        {"lines",
         "lines",
         true,
         "COALESCE((SELECT target FROM stage_notes n WHERE n.plant = s.plant AND n.note = "
         "s.note), (SELECT id FROM main.notes WHERE plant_id = s.plant_id AND number = s.note))",
         "note",
         "unknown note",
         "COALESCE((SELECT target FROM stage_products p WHERE p.plant = s.plant AND p.product = "
         "s.product), (SELECT id FROM main.products WHERE plant_id = s.plant_id AND code = "
         "s.product))",
         "product",
         "unknown product",
         "SELECT id FROM main.lines WHERE note_id = s.ref_id AND position = s.position ORDER BY "
         "id LIMIT 1",
         {{"note_id", "s.ref_id"},
          {"position", "s.position"},
          {"product_code", "s.product"},
          {"description", PRODUCT("description")},
          {"size", PRODUCT("size")},
          {"packaging", PRODUCT("packaging")},
          {"ordered", "s.ordered"},
          // Offered as delivered for the packer to confirm; a pool product
          // counts up from 0 as its items are scanned out.
          {"delivered", "CASE WHEN " PRODUCT("pool") " <> 0 THEN 0 ELSE s.ordered END"},
          {"minimum", "s.minimum"},
          {"maximum", "s.maximum"},
          {"counted", "s.counted"},
          {"count_minimum", "s.count_minimum"},
          {"count_maximum", "s.count_maximum"}},
         nullptr,
         "EXISTS(SELECT 1 FROM main.notes n WHERE n.id = s.ref_id AND (n.status <> 0 OR "
         "n.held_by IS NOT NULL))",
         "EXISTS(SELECT 1 FROM main.notes n WHERE n.id = t.note_id AND (n.status <> 0 OR "
         "n.held_by IS NOT NULL))",
         "the line's note is open or done on a handheld: left as it is",
         "import_products p",
         "p.id = s.ref2_id"},
        {"pool",
         "pool_units",
         true,
         nullptr,
         nullptr,
         nullptr,
         "COALESCE((SELECT target FROM stage_products p WHERE p.plant = s.plant AND p.product = "
         "s.product), (SELECT id FROM main.products WHERE plant_id = s.plant_id AND code = "
         "s.product))",
         "product",
         "unknown product",
         "SELECT id FROM main.pool_units WHERE plant_id = s.plant_id AND code = s.code",
         {{"plant_id", "s.plant_id"},
          {"bundle", "s.bundle"},
          {"code", "s.code"},
          {"product_code", "s.product"},
          {"quantity", "s.quantity"},
          {"needs_confirm", "s.confirm"}},
         nullptr,
         "EXISTS(SELECT 1 FROM main.pool_units u WHERE u.id = s.target AND u.note_id IS NOT "
         "NULL)",
         "t.note_id IS NOT NULL",
         "already scanned out onto a note: left as it is"},
    };
    return plans;
}

#undef PRODUCT

std::string Stage(const char* kind) {
    return std::string("stage_") + kind;
}

// The import's files as its audit entry names them.
std::string FileList(const ImportRequest& request) {
    std::string files;
    for (const std::string& file : request.files) {
        files += (files.empty() ? "" : ",") + file;
    }
    return "files=" + files;
}

const ImportKind& KindNamed(const char* name) {
    for (const ImportKind& kind : ImportKinds()) {
        if (std::string(kind.name) == name) {
            return kind;
        }
    }
    throw std::logic_error(std::string("no import kind ") + name);
}

std::string KeyEquality(const ImportKind& kind, const char* a, const char* b) {
    std::string out;
    for (std::size_t i = 0; i < kind.keyColumns; ++i) {
        out += (i ? " AND " : "") + std::string(a) + "." + kind.columns[i].name + " = " + b + "." +
               kind.columns[i].name;
    }
    return out;
}

std::string Substitute(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}
void CountAction(KindCount& count, const std::string& action, long n) {
    (action == "insert"   ? count.inserted
     : action == "same"   ? count.unchanged
     : action == "update" ? count.updated
                          : count.skipped) += n;
}

std::string CountsText(const ImportSummary& summary) {
    std::string counts;
    for (const auto& [kind, c] : summary.kinds) {
        counts += "; " + kind + "=+" + std::to_string(c.inserted) + " ~" +
                  std::to_string(c.updated) + " =" + std::to_string(c.unchanged) + " !" +
                  std::to_string(c.skipped) + " -" + std::to_string(c.removed);
    }
    return counts;
}

} // namespace backoffice::import_plan
