#include "screens/delivered_prod_view.h"

#include "model/korvo_doc.h"
#include "model/note_closing.h"
#include "screens/screen_buttons.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/control_ids.h"
#include "widgets/editable_list.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"

#include <QKeyEvent>

namespace {

// Positions of this screen's entries in its Actions-menu row.
enum Entry { PrintEntry = 0, ProcessEntry = 1, HoldEntry = 3 };

} // namespace

CDeliveredProdView::CDeliveredProdView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : CQuantityListView(frame, doc, kDeliveredProdScreen, true, parent) {
    auto command = [this](int cmd) { return [this, cmd] { switchScreen(cmd); }; };
    print_ = MakeCommandButton(this, "print", kPrintButtonId, IconGlyph::Print,
                               command(Cmd::DeliveredPrint));
    process_ = MakeCommandButton(this, "process", kProcessButtonId, IconGlyph::Process,
                                 command(Cmd::DeliveredProcess));
    back_ = MakeCommandButton(this, "back", kBackButtonId, IconGlyph::Back,
                              command(Cmd::DeliveredBack));
    hold_ = MakeCommandButton(this, "hold", kHoldButtonId, IconGlyph::Hold,
                              command(Cmd::DeliveredHold));
    outScanPool_ = MakeCommandButton(this, "outScanPool", kOutScanPoolButtonId,
                                     IconGlyph::OutScanPool, command(Cmd::DeliveredOutScanPool));
    counting_ = MakeCommandButton(this, "counting", kCountingButtonId, IconGlyph::Counting,
                                  command(Cmd::DeliveredCounting));
}

std::vector<packingnoteline>* CDeliveredProdView::lines() {
    return doc_.packingNoteLines ? &doc_.packingNoteLines->lines : nullptr;
}

void CDeliveredProdView::activate() {
    // The colli-count dialog starts from the number of containers the note was packed into.
    if (doc_.currentPackingNote && doc_.currentPackingNote->details) {
        doc_.currentPackingNote->PNCN =
            static_cast<std::int32_t>(doc_.currentPackingNote->details->C.size());
    }
    setNoteTitle();
    const bool hasLines = lineCount() > 0;
    frame_.SetActionEnabled(hasLines, print_, kDeliveredProdScreen, PrintEntry);
    frame_.SetActionEnabled(hasLines, process_, kDeliveredProdScreen, ProcessEntry);
    arrangeButtons();
    fillList({{"lblProd", 0.48, QuantityColumn::Product},
              {"lblToDeliver", 0.28, QuantityColumn::Ordered},
              {"lblDelivered", 0.22, QuantityColumn::Quantity}});
    // Only what the worker changes asks to be saved on the way out.
    doc_.quantitiesChanged = false;
    frame_.SetActionEnabled(true, hold_, kDeliveredProdScreen, HoldEntry);
    list()->setFocus();
}

void CDeliveredProdView::arrangeButtons() {
    const Settings none;
    const DeliveredButtons shown =
        ArrangeDeliveredButtons(doc_.currentSettings ? *doc_.currentSettings : none,
                                doc_.currentPackingNote && doc_.currentPackingNote->SP);
    print_->setVisible(shown.print);
    process_->setVisible(shown.process);
    outScanPool_->setVisible(shown.outScanPool);
    counting_->setVisible(shown.counting);
    for (const int command : shown.removed()) {
        frame_.RemoveActionEntry(command);
    }
    const std::pair<int, CImageButton*> buttons[] = {{Cmd::DeliveredPrint, print_},
                                                     {Cmd::DeliveredProcess, process_},
                                                     {Cmd::DeliveredBack, back_},
                                                     {Cmd::DeliveredHold, hold_},
                                                     {Cmd::DeliveredOutScanPool, outScanPool_},
                                                     {Cmd::DeliveredCounting, counting_}};
    std::array<int, 6> ids{};
    std::size_t k = 0;
    QWidget* previous = list();
    for (const int command : shown.order()) {
        for (const auto& [buttonCommand, button] : buttons) {
            if (buttonCommand == command && k < ids.size()) {
                ids[k++] = GetControlId(button);
                // Tab follows the row as it is laid out.
                setTabOrder(previous, button);
                previous = button;
            }
        }
    }
    layoutButtons(ids);
}

QString CDeliveredProdView::runOperation(ScreenOperation operation) {
    finishEdit();
    switch (operation) {
    case ScreenOperation::PrintOrProcess:
        return printAndProcess();
    case ScreenOperation::LeaveDelivered:
        return leave();
    case ScreenOperation::HoldNote:
        return hold();
    case ScreenOperation::StoreCurrentLine:
        // The list is built anew on the way back: changes are saved or dropped
        // by the worker's word first, as on Back.
        if (const QString kept = leave(); kept != Result::Ok) {
            return kept;
        }
        return storeCurrentLine();
    case ScreenOperation::PrepareCounting:
        if (const QString kept = leave(); kept != Result::Ok) {
            return kept;
        }
        return sendLogged("KORVANE DELIVERED PRODUCSTS.COUNT WEB SERVICE Error",
                          [this] { return backOffice().count(); })
            .operationText();
    default:
        return KorvoView::runOperation(operation);
    }
}

SendResult CDeliveredProdView::saveQuantities() {
    return sendQuantities([this] {
        return sendLogged("KORVANE DELIVEREDQUANTITY .Error", [this] {
            return backOffice().deliveredQuantity(QuantityPurpose::Delivered);
        });
    });
}

QString CDeliveredProdView::hold() {
    const SendResult result = saveQuantities();
    if (!result.isOk()) {
        // The back office did not take the quantities: they stay here, unsaved.
        return result.operationText();
    }
    CountHeldNote(doc_);
    doc_.quantitiesChanged = false;
    return Result::Ok;
}

QString CDeliveredProdView::leave() {
    if (!doc_.quantitiesChanged) {
        return Result::Ok;
    }
    const QString question = T(QStringLiteral("msgDelQuantities")) + QStringLiteral("\r\n") +
                             T(QStringLiteral("msgSaveOrNot"));
    if (!AskYesNo(doc_, question)) {
        return Result::Ok;
    }
    return hold();
}

QString CDeliveredProdView::printAndProcess() {
    NoteClosingSteps steps;
    steps.saveQuantities = [this] { return saveQuantities(); };
    steps.tell = [this](const char* captionKey, const char* textKey) {
        TellWorker(doc_, QLatin1String(captionKey), T(QLatin1String(textKey)));
    };
    steps.process = [this] {
        return sendLogged("KORVANE DELIVERED PRODUCSTS.PROCESS WEB SERVICE Error",
                          [this] { return backOffice().process(); });
    };
    steps.print = [this] {
        const PrintOutcome outcome =
            sendLogged("DelivereProductsView.PrintWebService.Error CallPackingNotePrint",
                       [this] { return PrintNoteDocuments(doc_, backOffice()); });
        return NoteClosingSteps::Printed{outcome.cancelled, outcome.result};
    };
    return PrintAndProcess(doc_, steps);
}

QString CDeliveredProdView::storeCurrentLine() {
    const std::vector<packingnoteline>* shown = lines();
    if (shown == nullptr || shown->empty()) {
        // Another note's line must not appear on the out-scan screen.
        doc_.currentLine.reset();
        return Result::Ok;
    }
    const int row = std::clamp(selectedRow(), 0, static_cast<int>(shown->size()) - 1);
    doc_.currentLine = (*shown)[static_cast<std::size_t>(row)];
    return Result::Ok;
}

bool CDeliveredProdView::handleKey(QKeyEvent* event) {
    if (editing()) {
        return false; // the cell editor's own keys
    }
    return DispatchKey(event->key(),
                       {
                           // On the list Enter opens the quantity cell; elsewhere it does nothing.
                           {kEnterKey, [this](int) { return focusWidget() != list(); }},
                           {kSidewaysKeys, UseUp},
                       });
}
