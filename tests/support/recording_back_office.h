#pragma once

#include "service/back_office.h"

#include <QList>
#include <QMap>
#include <QString>
#include <deque>
#include <functional>
#include <ostream>

class CKorvoDoc;

// A back office for tests: records every exchange with what the request would
// carry, and answers as the test says. Without a queued result every exchange
// succeeds; a hook per message lets the test put the answer's records into the
// work state, as the real parsers would.
class RecordingBackOffice final : public BackOffice {
public:
    enum class Message {
        Settings,
        Route,
        PackingNoteList,
        Employee,
        PackingNote,
        PackingNoteContainer,
        PackingNoteLines,
        ContainerScan,
        DeliveredQuantity,
        PoolScan,
        Count,
        Print,
        Process,
    };

    struct Exchange {
        Exchange(Message m = Message::Settings, int a = 0) : message(m), action(a) {}
        Message message;
        int action = 0;      // the note action, list kind or quantity purpose sent
        QString input;       // scanned number, container or pool code
        int numbers[3] = {}; // employee number; pool action, item, bundle; colli, order form
        bool interactive = false;
        QString path;
        friend bool operator==(const Exchange& a, const Exchange& b) {
            return a.message == b.message && a.action == b.action && a.input == b.input &&
                   a.numbers[0] == b.numbers[0] && a.numbers[1] == b.numbers[1] &&
                   a.numbers[2] == b.numbers[2];
        }
    };

    explicit RecordingBackOffice(CKorvoDoc& doc) : doc_(doc) {}

    // The next exchanges of `message` fail, in order, with these texts (the
    // text the real call would have shown).
    void fail(Message message, const QString& text = QStringLiteral("failed"), int times = 1);
    // Runs before a successful answer is returned: set the records here.
    void on(Message message, std::function<void(CKorvoDoc&, const Exchange&)> answer) {
        answers_[message] = std::move(answer);
    }
    // Names the employee numbers the back office knows.
    QMap<int, QString> employees;

    QList<Exchange> exchanges;
    QList<Message> messages() const;
    void clear() { exchanges.clear(); }

    int settings(bool interactive, const QString& servicePath) override;
    int route() override;
    int packingNoteList(NoteListKind kind) override;
    EmployeeAnswer employee(std::int32_t employeeNumber) override;
    SendResult packingNote(NoteAction action, const QString& scannedNoteNumber) override;
    SendResult packingNoteContainer(const QString& containerIdCode) override;
    SendResult packingNoteLines() override;
    SendResult containerScan(const QString& containerIdCode) override;
    SendResult deliveredQuantity(QuantityPurpose purpose) override;
    SendResult poolScan(const QString& idCode, std::int32_t action, std::int32_t uniqueItemId,
                        std::int32_t uniqueBundleId) override;
    SendResult count() override;
    SendResult print(std::uint16_t colli, int orderForm) override;
    SendResult process() override;

private:
    SendResult exchange(Exchange e);

    CKorvoDoc& doc_;
    QMap<Message, std::deque<SendResult>> failures_;
    QMap<Message, std::function<void(CKorvoDoc&, const Exchange&)>> answers_;
};

const char* MessageName(RecordingBackOffice::Message message);
std::ostream& operator<<(std::ostream& os, RecordingBackOffice::Message message);
std::ostream& operator<<(std::ostream& os, const RecordingBackOffice::Exchange& e);
