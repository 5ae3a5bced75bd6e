#include "backoffice/embedded_back_office.h"

#include "backoffice/dashboard.h"
#include "backoffice/demo_data.h"
#include "backoffice/handlers.h"
#include "backoffice/postgres_store.h"
#include "backoffice/print.h"
#include "backoffice/server.h"
#include "backoffice/sqlite.h"
#include "backoffice/store_factory.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <stdexcept>

namespace backoffice {

struct EmbeddedBackOffice::Impl {
    Options options;
    std::string folder;
    std::string database;
    std::string prints;
    OpenedStore opened;
    Store* store = nullptr;
    std::unique_ptr<PdfPrinter> printer;
    std::unique_ptr<Handlers> handlers;
    std::unique_ptr<Dashboard> dashboard;
    std::unique_ptr<Server> server;
};

EmbeddedBackOffice::EmbeddedBackOffice() : EmbeddedBackOffice(Options{}) {}

EmbeddedBackOffice::EmbeddedBackOffice(const std::string& today)
    : EmbeddedBackOffice([&today] {
          Options options;
          options.today = today;
          return options;
      }()) {}

EmbeddedBackOffice::EmbeddedBackOffice(Options options) : d_(std::make_unique<Impl>()) {
    // A handheld that gives up on an answer must not kill the test process.
    std::signal(SIGPIPE, SIG_IGN);
    d_->options = std::move(options);
    if (d_->options.today.empty()) {
        d_->options.today = LocalToday();
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvane-backoffice-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    d_->folder = pattern;
    d_->database =
        d_->options.database.empty() ? d_->folder + "/backoffice.db" : d_->options.database;
    d_->prints = d_->folder + "/prints";
    d_->opened = OpenStore(d_->database, {});
    d_->store = d_->opened.store.get();
    if (d_->options.seedDemo) {
        SeedDemo(*d_->store, d_->options.today);
    }
    d_->printer = std::make_unique<PdfPrinter>(d_->prints, d_->options.printCommand);
    HandlerOptions handlerOptions;
    handlerOptions.demo = true;
    handlerOptions.printer = d_->printer.get();
    if (d_->options.clock) {
        handlerOptions.clock = d_->options.clock;
    }
    d_->handlers = std::make_unique<Handlers>(*d_->store, handlerOptions);
    ServerOptions serverOptions;
    serverOptions.path = d_->options.servicePath;
    serverOptions.threads = 16;
    if (d_->options.log) {
        serverOptions.log = [](const std::string& line) {
            static std::mutex mutex;
            std::lock_guard lock(mutex);
            std::cerr << line << '\n';
        };
    }
    if (d_->options.dashboard && d_->opened.dashboard) {
        d_->dashboard = std::make_unique<Dashboard>(*d_->opened.dashboard, DashboardOptions{},
                                                    "127.0.0.1", d_->prints);
        d_->dashboard->attach(serverOptions);
    }
    d_->server = std::make_unique<Server>(*d_->handlers, serverOptions);
    if (!d_->server->bind()) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    d_->server->start();
}

EmbeddedBackOffice::~EmbeddedBackOffice() {
    d_->server.reset();
    d_->dashboard.reset();
    d_->handlers.reset();
    d_->opened = {};
    std::error_code ignored;
    std::filesystem::remove_all(d_->folder, ignored);
}

int EmbeddedBackOffice::port() const {
    return d_->server ? d_->server->port() : -1;
}

const std::string& EmbeddedBackOffice::servicePath() const {
    return d_->options.servicePath;
}

std::string EmbeddedBackOffice::url() const {
    return "http://127.0.0.1:" + std::to_string(port()) + "/" + servicePath() +
           "/QVRGenericWebService";
}

const std::string& EmbeddedBackOffice::today() const {
    return d_->options.today;
}

const std::string& EmbeddedBackOffice::databasePath() const {
    return d_->database;
}

const std::string& EmbeddedBackOffice::printFolder() const {
    return d_->prints;
}

void EmbeddedBackOffice::stop() {
    if (d_->server) {
        d_->server->stop();
    }
}

std::vector<std::vector<std::string>>
EmbeddedBackOffice::query(const std::string& sql,
                          const std::vector<std::string>& parameters) const {
    std::vector<std::vector<std::string>> rows;
#ifdef KORVANE_HAVE_POSTGRES
    if (d_->opened.engine == "postgresql") {
        // The same "?" placeholders as SQLite's, numbered as PostgreSQL's.
        std::string numbered;
        int n = 0;
        for (const char c : sql) {
            numbered += c == '?' ? "$" + std::to_string(++n) : std::string(1, c);
        }
        const std::vector<std::optional<std::string>> values(parameters.begin(), parameters.end());
        static_cast<PostgresStore&>(*d_->store).session(false, [&](PostgresStore::Session& db) {
            for (const PostgresStore::TextRow& row : db.rows(numbered, values)) {
                std::vector<std::string> texts;
                for (const auto& value : row.values) {
                    texts.push_back(value.value_or(""));
                }
                rows.push_back(std::move(texts));
            }
        });
        return rows;
    }
#endif
    sqlite::Database db(d_->database);
    auto q = db.query(sql);
    for (size_t i = 0; i < parameters.size(); ++i) {
        q.bind(static_cast<int>(i + 1), parameters[i]);
    }
    while (q.next()) {
        std::vector<std::string> row;
        for (int c = 0; c < q.columns(); ++c) {
            row.push_back(q.text(c));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string EmbeddedBackOffice::scalar(const std::string& sql,
                                       const std::vector<std::string>& parameters) const {
    const auto rows = query(sql, parameters);
    return rows.empty() || rows.front().empty() ? std::string() : rows.front().front();
}

} // namespace backoffice
