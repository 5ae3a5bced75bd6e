// Two writers on one database: conditional updates, retried exchanges, and
// handhelds on two back-office instances racing for the same notes and items.
#include "backoffice_fixture.h"

#include <atomic>
#include <functional>
#include <latch>
#include <map>
#include <thread>

namespace {

using Concurrency = EngineTest;

// Runs `work` once per thread, all released at the same moment.
void AtOnce(int threads, const std::function<void(int)>& work) {
    std::latch start(threads);
    std::vector<std::thread> running;
    for (int i = 0; i < threads; ++i) {
        running.emplace_back([&, i] {
            start.arrive_and_wait();
            work(i);
        });
    }
    for (std::thread& t : running) {
        t.join();
    }
}

// A store whose first `conflicts` writes lose a race after doing their work.
class LosingStore : public bo::Store {
public:
    LosingStore(bo::Store& inner, int conflicts) : inner_(inner), conflicts_(conflicts) {}
    std::unique_ptr<bo::StoreTransaction> begin(bool write) override { return inner_.begin(write); }
    void write(const std::function<void(bo::StoreTransaction&)>& work) override {
        ++writes;
        inner_.write([&](bo::StoreTransaction& tx) {
            work(tx);
            if (conflicts_ > 0) {
                --conflicts_;
                throw bo::StoreConflict("lost on purpose");
            }
        });
    }
    int writes = 0;

private:
    bo::Store& inner_;
    int conflicts_;
};

} // namespace

TEST_P(Concurrency, AnUpdateDecidedOnAStaleReadIsAConflictAndChangesNothing) {
    const bo::Id noteId = note(bo::DemoNoteNumber(1, 101, 1)).id;
    struct Case {
        const char* name;
        // What another writer did after the read, and the write decided on it.
        std::function<void(bo::StoreTransaction&)> meanwhile;
        std::function<void(bo::StoreTransaction&)> stale;
        bool conflict;
    };
    bo::Note read;
    bo::PoolUnit unit;
    bo::Line line;
    const auto readAll = [&] {
        auto tx = store_->begin(false);
        read = *tx->note(noteId);
        unit = *tx->poolUnitByCode(1, "9100001");
        line = tx->lines(noteId).front();
    };
    const auto held = [&](bo::Note n, bo::Id device) {
        n.heldBy = device;
        n.holdKind = bo::HoldKind::Opened;
        n.status = bo::NoteStatus::InProgress;
        return n;
    };
    const Case cases[] = {
        {"nothing changed meanwhile", [](bo::StoreTransaction&) {},
         [&](bo::StoreTransaction& tx) { tx.updateNote(read, held(read, 1)); }, false},
        {"another handheld took the note",
         [&](bo::StoreTransaction& tx) { tx.updateNote(read, held(read, 2)); },
         [&](bo::StoreTransaction& tx) { tx.updateNote(read, held(read, 1)); }, true},
        {"the note was done meanwhile",
         [&](bo::StoreTransaction& tx) {
             bo::Note done = read;
             done.status = bo::NoteStatus::Done;
             tx.updateNote(read, done);
         },
         [&](bo::StoreTransaction& tx) { tx.updateNote(read, held(read, 1)); }, true},
        {"the pool item was counted for a note meanwhile",
         [&](bo::StoreTransaction& tx) {
             bo::PoolUnit scanned = unit;
             scanned.noteId = noteId;
             tx.updatePoolUnit(unit, scanned);
         },
         [&](bo::StoreTransaction& tx) {
             bo::PoolUnit scanned = unit;
             scanned.noteId = noteId;
             scanned.scannedAt = "again";
             tx.updatePoolUnit(unit, scanned);
         },
         true},
        {"the line's quantity was saved meanwhile",
         [&](bo::StoreTransaction& tx) {
             bo::Line saved = line;
             saved.delivered += 1;
             tx.updateLine(line, saved);
         },
         [&](bo::StoreTransaction& tx) {
             bo::Line saved = line;
             saved.delivered += 2;
             tx.updateLine(line, saved);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        readAll();
        store_->write(c.meanwhile);
        bo::Note noteBefore;
        std::vector<bo::Line> linesBefore;
        std::optional<bo::PoolUnit> unitBefore;
        {
            auto tx = store_->begin(false);
            noteBefore = *tx->note(noteId);
            linesBefore = tx->lines(noteId);
            unitBefore = tx->poolUnit(unit.id);
        }
        const std::int64_t audited = count("audit");
        if (c.conflict) {
            EXPECT_THROW(store_->write(c.stale), bo::StoreConflict);
            auto tx = store_->begin(false);
            EXPECT_EQ(tx->note(noteId)->heldBy, noteBefore.heldBy);
            EXPECT_EQ(tx->note(noteId)->status, noteBefore.status);
            EXPECT_EQ(tx->lines(noteId).front().delivered, linesBefore.front().delivered);
            EXPECT_EQ(tx->poolUnit(unit.id)->scannedAt, unitBefore->scannedAt);
            EXPECT_EQ(count("audit"), audited);
        } else {
            EXPECT_NO_THROW(store_->write(c.stale));
        }
    }
}

TEST_P(Concurrency, ALostRaceIsRunAgainAndOnlyTheWinningTryIsKept) {
    const bo::Note before = note(bo::DemoNoteNumber(1, 101, 2));
    struct Case {
        const char* name;
        int conflicts;
        std::string outcome;
        int writes;
        bool held;
    } cases[] = {
        {"lost once", 1, "OK", 2, true},
        {"lost on every try", bo::kExchangeAttempts, "1", bo::kExchangeAttempts, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LosingStore losing(*store_, c.conflicts);
        bo::HandlerOptions options;
        options.clock = [this] { return now_; };
        bo::Handlers handlers(losing, options);
        const std::int64_t audited = count("audit");
        const auto reply = packingNote(3, 0, std::to_string(before.id), 0, &handlers);
        EXPECT_EQ(reply->outcome, c.outcome);
        EXPECT_EQ(losing.writes, c.writes);
        EXPECT_EQ(note(before.number).heldBy.has_value(), c.held);
        // One entry for the one change that was kept; none for the undone tries.
        EXPECT_EQ(count("audit"), audited + (c.held ? 1 : 0));
        if (c.outcome == "1") {
            EXPECT_EQ(reply->message, bo::kTryAgainMessage);
        }
        packingNote(3, 3, "", 0, &handlers);
    }
}

// Two instances on one database file, twenty handhelds on each, all opening
// the same ten notes, then every holder counting the same pool items.
TEST_P(Concurrency, TwoInstancesTwentyHandheldsEachNoDoubleWins) {
    const std::unique_ptr<bo::Store> secondStore = database_.open();
    bo::HandlerOptions options;
    options.clock = [this] { return now_; };
    bo::Handlers first(*store_, options);
    bo::Handlers second(*secondStore, options);
    constexpr int kDevices = 40;
    std::vector<bo::Id> devices;
    store_->write([&](bo::StoreTransaction& tx) {
        for (int i = 0; i < kDevices; ++i) {
            devices.push_back(tx.registerDevice(1, "RACE" + std::to_string(i)).id);
        }
    });
    int accepted = 0;
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<bo::Note> notes;
        for (int stop = 1; stop <= 5; ++stop) {
            notes.push_back(note(bo::DemoNoteNumber(round, 101, stop)));
            notes.push_back(note(bo::DemoNoteNumber(round, 102, stop)));
        }
        // Each note is asked for by four handhelds, two on each instance.
        std::vector<std::string> opened(kDevices);
        AtOnce(kDevices, [&](int i) {
            opened[i] =
                packingNote(static_cast<int>(devices[i]), 0, std::to_string(notes[i % 10].id), 0,
                            i % 2 == 0 ? &first : &second)
                    ->outcome;
        });
        std::map<bo::Id, int> holders; // note -> the device index that won
        for (int i = 0; i < kDevices; ++i) {
            EXPECT_TRUE(opened[i] == "OK" || opened[i] == bo::Codes::NoteHeld) << opened[i];
            if (opened[i] == "OK") {
                EXPECT_EQ(holders.count(notes[i % 10].id), 0u) << "two holders";
                holders[notes[i % 10].id] = i;
            }
        }
        ASSERT_EQ(holders.size(), 10u);
        for (const bo::Note& n : notes) {
            EXPECT_EQ(note(n.number).heldBy, devices[holders[n.id]]);
        }

        // Every holder scans the same twenty bouquets, each from another start.
        std::vector<int> acceptedBy(10, 0);
        AtOnce(10, [&](int k) {
            const bo::Id noteId = notes[k].id;
            const int device = holders[noteId];
            for (int j = 0; j < 20; ++j) {
                const int item = 9100001 + 20 * round + (j + 2 * k) % 20;
                const auto reply =
                    poolScan(static_cast<int>(devices[device]), noteId, std::to_string(item), 0, 0,
                             0, device % 2 == 0 ? &first : &second);
                if (reply->root().child("Flag").child("Flag").attribute("FC").value() ==
                    std::string("ACCEPTED")) {
                    ++acceptedBy[k];
                }
            }
        });
        // ... and the same five new containers: each is registered on one note.
        AtOnce(10, [&](int k) {
            const int device = holders[notes[k].id];
            for (int j = 0; j < 5; ++j) {
                const std::string code = std::to_string(20500000 + 100 * round + (j + k) % 5);
                const std::string outcome =
                    containerScan(static_cast<int>(devices[device]), notes[k].id, code,
                                  device % 2 == 0 ? &first : &second)
                        ->outcome;
                EXPECT_TRUE(outcome == "OK" || outcome == bo::Codes::ContainerElsewhere) << outcome;
            }
        });
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(count("note_containers WHERE code = '" +
                            std::to_string(20500000 + 100 * round + j) + "'"),
                      1);
        }
        int delivered = 0;
        int acceptedNow = 0;
        for (int k = 0; k < 10; ++k) {
            acceptedNow += acceptedBy[k];
            for (const bo::Line& l : lines(notes[k].id)) {
                delivered += l.productCode == "FR-2010" ? l.delivered : 0;
            }
        }
        EXPECT_GT(acceptedNow, 0);
        EXPECT_EQ(delivered, acceptedNow) << "each counted item on one line, once";
        accepted += acceptedNow;
        auto tx = store_->begin(false);
        for (const int number : {101, 102}) {
            const bo::Route r = *tx->route(routeId(number, round));
            EXPECT_EQ(r.newNotes + r.inProgress + r.done, 6);
            EXPECT_EQ(r.inProgress, 5);
        }
    }
    EXPECT_EQ(count("pool_units WHERE note_id IS NOT NULL"), accepted);
    EXPECT_EQ(count("audit WHERE entity = 'pool_item'"), accepted);
}

INSTANTIATE_TEST_SUITE_P(Engines, Concurrency, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param); });
