#include "screens/add_count_view.h"

#include "model/korvo_doc.h"
#include "model/quantity_rules.h"
#include "screens/screen_buttons.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/editable_list.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"

#include <QKeyEvent>

namespace {

constexpr int kSaveEntry = 0;

} // namespace

CAddCountView::CAddCountView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : CQuantityListView(frame, doc, kAddCountScreen, false, parent) {
    save_ = MakeCommandButton(this, "save", kSaveButtonId, IconGlyph::Save,
                              [this] { switchScreen(Cmd::CountSave); });
    back_ = MakeCommandButton(this, "back", kBackButtonId, IconGlyph::Back,
                              [this] { switchScreen(Cmd::CountBack); });
}

std::vector<packingnoteline>* CAddCountView::lines() {
    return doc_.countResult ? &doc_.countResult->lines : nullptr;
}

void CAddCountView::activate() {
    setNoteTitle();
    layoutButtons({kSaveButtonId, kBackButtonId, 0, 0, 0, 0});
    setTabOrder(list(), save_);
    setTabOrder(save_, back_);
    fillList({{"lblProd", 0.70, QuantityColumn::Product},
              {"lblCounted", 0.28, QuantityColumn::Quantity}});
    doc_.quantitiesChanged = false;
    updateSaveState();
    list()->setFocus();
}

void CAddCountView::updateSaveState() {
    frame_.SetActionEnabled(CountSaveEnabled(doc_.quantitiesChanged), save_, kAddCountScreen,
                            kSaveEntry);
}

void CAddCountView::cellEdited() {
    updateSaveState();
}

QString CAddCountView::runOperation(ScreenOperation operation) {
    finishEdit();
    switch (operation) {
    case ScreenOperation::SaveCount:
        return save();
    case ScreenOperation::LeaveCountCheck:
        return LeaveCounting(doc_.quantitiesChanged,
                             [this] { return AskYesNo(doc_, T(QStringLiteral("msgCountSave"))); })
                   ? Result::Ok
                   : Result::NotOk;
    case ScreenOperation::CountLineCall:
        return sendLogged("Add Count View. Error on Calling PackingNoteLineWebService.",
                          [this] { return backOffice().packingNoteLines(); })
            .operationText();
    default:
        return KorvoView::runOperation(operation);
    }
}

QString CAddCountView::save() {
    const SendResult result = sendQuantities([this] {
        return sendLogged("KORVANE COUNT VIEW. DELIVEREDQUANTITY WEBSERVICE .Error", [this] {
            return backOffice().deliveredQuantity(QuantityPurpose::Counting);
        });
    });
    FinishCountSave(doc_.quantitiesChanged, result);
    updateSaveState();
    return result.operationText();
}

bool CAddCountView::handleKey(QKeyEvent* event) {
    if (editing()) {
        return false; // the cell editor's own keys
    }
    return DispatchKey(event->key(),
                       {{kEnterKey | kRightKey, keyCommandWhileEnabled(save_, Cmd::CountSave)},
                        {kBackKeys, keyCommand(Cmd::CountBack)}});
}
