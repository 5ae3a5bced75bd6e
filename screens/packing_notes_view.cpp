#include "screens/packing_notes_view.h"

#include "model/korvo_doc.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/colour_widgets.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"
#include "widgets/list_helpers.h"

#include <QKeyEvent>
#include <QTreeWidget>

CPackingNotesView::CPackingNotesView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kPackingNotesScreen, parent) {
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("notes"));
    list_->setTextElideMode(Qt::ElideRight);
    save_ = MakeScreenButton(this, "save", kSaveButtonId, IconGlyph::Save);
    print_ = MakeScreenButton(this, "print", kPrintButtonId, IconGlyph::Print);
    back_ = MakeScreenButton(this, "back", kBackButtonId, IconGlyph::Back);
    connect(save_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::ListSave); });
    connect(print_, &QAbstractButton::clicked, this, [this] {
        print_->ResetButton();
        switchScreen(Cmd::ListPrint);
    });
    connect(back_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::ListBack); });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        // A tap beside the rows leaves the chosen note as it is.
        if (current != nullptr) {
            selected_ = list_->indexOfTopLevelItem(current);
            updatePrintState();
        }
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (list_->selectedItems().isEmpty()) {
            SelectListItem(list_, selected_);
        }
    });
}

void CPackingNotesView::activate() {
    // The list the navigation fetched.
    kind_ = doc_.shownList;
    look_ = NoteListLookFor(kind_, doc_.currentSettings ? doc_.currentSettings->DNPP : 0);

    setTitle(T(QLatin1String(look_.titleKey)));
    statusLabel()->setText(T(QLatin1String(look_.statusKey)));
    LabelStyle(statusLabel(), 14, true);
    save_->setVisible(look_.save);
    print_->setVisible(look_.print);
    if (kind_ == NoteListKind::Done) {
        frame_.RemoveActionEntry(Cmd::ListSave);
        if (!look_.print) {
            frame_.RemoveActionEntry(Cmd::ListPrint);
        }
    }
    layoutButtons(
        {look_.save ? kSaveButtonId : 0, look_.print ? kPrintButtonId : 0, kBackButtonId, 0, 0, 0});
    // The band's colour behind the status text, as on every screen's bottom.
    statusLabel()->SetBackgroundColour(SystemColour(SysColour::ButtonFace));

    list_->setGeometry(contentArea());
    SetupListColumns(list_, {T(QStringLiteral("lblNote")), T(QStringLiteral("lblCustomer"))},
                     {0.46, 0.53});
    list_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(doc_.packingNoteList.size()));
    for (const PackingNote& note : doc_.packingNoteList) {
        items << new QTreeWidgetItem(QStringList{note.NNR, note.CN});
    }
    list_->addTopLevelItems(items);
    rows_ = doc_.packingNoteList.size();
    if (rows_ == 0) {
        doc_.packingNoteIndex = -1;
    }
    frame_.SetActionEnabled(rows_ != 0, save_, kPackingNotesScreen, 0);
    selected_ = 0;
    SelectListItem(list_, 0);
    updatePrintState();
    list_->setFocus(Qt::OtherFocusReason);
}

const PackingNote* CPackingNotesView::selectedNote() const {
    if (rows_ == 0 || rows_ != doc_.packingNoteList.size() || selected_ < 0 ||
        static_cast<std::size_t>(selected_) >= rows_) {
        return nullptr;
    }
    return &doc_.packingNoteList[static_cast<std::size_t>(selected_)];
}

void CPackingNotesView::updatePrintState() {
    const PackingNote* note = selectedNote();
    // Without a note there is nothing to print, whichever list this is.
    bool enabled = note != nullptr;
    if (enabled && look_.print) {
        enabled = ReprintAllowed(*note);
    }
    frame_.SetActionEnabled(enabled, print_, kPackingNotesScreen, 2);
}

QString CPackingNotesView::takeNote() {
    const PackingNote* note = selectedNote();
    if (note == nullptr || !look_.save) {
        return Result::NotOk;
    }
    doc_.currentPackingNote = *note;
    doc_.packingNoteId = note->PNID;
    doc_.packingNoteIndex = selected_;
    doc_.listOrigin = ListOriginFor(kind_);
    return sendLogged("Packing Notes View.Error CallPackingNoteWebService",
                      [&] { return backOffice().packingNote(NoteAction::CurrentById, QString()); })
        .operationText();
}

QString CPackingNotesView::printNote() {
    const PackingNote* note = selectedNote();
    if (note == nullptr ||
        (kind_ == NoteListKind::Done && (!look_.print || !ReprintAllowed(*note)))) {
        return Result::NotOk;
    }
    doc_.currentPackingNote = *note;
    doc_.packingNoteId = note->PNID;
    const PrintOutcome outcome =
        sendLogged("PackingNotesView.PrintWebService.Error CallPackingNotePrint",
                   [&] { return PrintNoteDocuments(doc_, backOffice()); });
    if (outcome.cancelled || (!outcome.result.isOk() && outcome.result.text().isEmpty())) {
        return Result::NotOk;
    }
    return outcome.result.operationText();
}

QString CPackingNotesView::runOperation(ScreenOperation operation) {
    switch (operation) {
    case ScreenOperation::TakeListedNote:
        return takeNote();
    case ScreenOperation::PrintListedNote:
        return printNote();
    default:
        return KorvoView::runOperation(operation);
    }
}

bool CPackingNotesView::handleKey(QKeyEvent* event) {
    return DispatchKey(event->key(), {
                                         {kEnterKey | kRightKey,
                                          [this](int) {
                                              if (kind_ == NoteListKind::Done) {
                                                  if (look_.print && print_->isEnabled()) {
                                                      switchScreen(Cmd::ListPrint);
                                                  }
                                              } else if (look_.save && save_->isEnabled()) {
                                                  switchScreen(Cmd::ListSave);
                                              }
                                              return true;
                                          }},
                                     });
}
