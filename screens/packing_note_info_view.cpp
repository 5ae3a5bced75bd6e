#include "screens/packing_note_info_view.h"

#include "model/korvo_doc.h"
#include "model/note_info_rules.h"
#include "model/scan_rules.h"
#include "platform/prompter.h"
#include "screens/screen_buttons.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"
#include "widgets/scan_field.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// Positions of this screen's entries in its Actions-menu row.
enum Entry { PreviousEntry = 2, NextEntry = 3, InstructionsEntry = 4 };

constexpr const char* kReloadLog = "Packing Notes INFO View.Error CallPackingNoteWebService";

QLabel* makeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

CPackingNoteInfoView::CPackingNoteInfoView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kPackingNoteInfoScreen, parent) {
    customer_ = makeLabel(this, "customer");
    QFont bold = customer_->font();
    bold.setBold(true);
    customer_->setFont(bold);
    department_ = makeLabel(this, "department");
    transport_ = makeLabel(this, "transportArticle");
    remark_ = new QPlainTextEdit(this);
    remark_->setObjectName(QStringLiteral("remark"));
    remark_->setReadOnly(true);
    remark_->setTabChangesFocus(true);
    containerCaption_ = makeLabel(this, "containerCaption");
    containerField_ = new CScanField(ScanKind::ContainerId, doc, this);
    containerField_->setObjectName(QStringLiteral("container"));
    containerCount_ = makeLabel(this, "containerCount");
    showContainers_ = new QPushButton(this);
    showContainers_->setObjectName(QStringLiteral("showContainers"));
    connect(showContainers_, &QPushButton::clicked, this, &CPackingNoteInfoView::showContainerList);

    auto command = [this](int cmd) { return [this, cmd] { switchScreen(cmd); }; };
    save_ = MakeCommandButton(this, "save", kSaveButtonId, IconGlyph::Save, command(Cmd::InfoSave));
    back_ = MakeCommandButton(this, "back", kBackButtonId, IconGlyph::Back, command(Cmd::InfoBack));
    previous_ = MakeCommandButton(this, "previous", kPreviousButtonId, IconGlyph::Previous,
                                  command(Cmd::InfoPrevious));
    next_ = MakeCommandButton(this, "next", kNextButtonId, IconGlyph::Next, command(Cmd::InfoNext));
    instructions_ = MakeCommandButton(this, "instructions", kInstructionsButtonId,
                                      IconGlyph::Instructions, command(Cmd::InfoInstructions));

    const int left = 4;
    const int inner = frame.screenWidth() - 2 * left;
    int y = ScreenFrame::kTitleHeight + 2;
    customer_->setGeometry(left, y, inner, 18);
    y += 19;
    department_->setGeometry(left, y, inner, 16);
    y += 17;
    transport_->setGeometry(left, y, inner, 16);
    y += 18;
    remark_->setGeometry(left, y, inner, 48);
    y += 51;
    containerCaption_->setGeometry(left, y, inner, 16);
    y += 17;
    // The container field stays above the keypad when it is raised.
    containerField_->setGeometry(left, y, inner, 22);
    y += 26;
    containerCount_->setGeometry(left, y, inner - 104, 24);
    showContainers_->setGeometry(left + inner - 100, y, 100, 24);

    setTabOrder(remark_, containerField_);
    setTabOrder(containerField_, showContainers_);
    QWidget* previousInChain = showContainers_;
    for (QWidget* button :
         std::initializer_list<QWidget*>{save_, back_, previous_, next_, instructions_}) {
        setTabOrder(previousInChain, button);
        previousInChain = button;
    }
}

void CPackingNoteInfoView::activate() {
    containerCaption_->setText(T(QStringLiteral("msgScanContainer")));
    showContainers_->setText(T(QStringLiteral("lblShowContainers")));
    const bool stepping = NoteSteppingFor(doc_.listOrigin, doc_.packingNoteIndex,
                                          static_cast<int>(doc_.packingNoteList.size()))
                              .offered;
    previous_->setVisible(stepping);
    next_->setVisible(stepping);
    if (stepping) {
        layoutButtons({kSaveButtonId, kBackButtonId, kPreviousButtonId, kNextButtonId,
                       kInstructionsButtonId, 0});
    } else {
        frame_.RemoveActionEntry(Cmd::InfoPrevious);
        frame_.RemoveActionEntry(Cmd::InfoNext);
        layoutButtons({kSaveButtonId, kBackButtonId, kInstructionsButtonId, 0, 0, 0});
    }
    showNote();
}

void CPackingNoteInfoView::showNote() {
    const std::optional<PackingNote>& note = doc_.currentPackingNote;
    const PackingNoteDetails* details = note && note->details ? &*note->details : nullptr;
    frame_.SetActionEnabled(details != nullptr && !details->UI.empty(), instructions_,
                            kPackingNoteInfoScreen, InstructionsEntry);
    containerField_->clear();
    setTitle(T(QStringLiteral("lblTitleNote")) + QLatin1Char(' ') + (note ? note->NNR : QString()));
    customer_->setText(note ? note->CN : QString());
    department_->setText(details ? DepartmentLine(*details) : QString());
    transport_->setText(details ? details->TA : QString());
    remark_->setPlainText(details ? details->R : QString());
    showContainers();
    updateStepping();
    containerField_->setFocus();
}

void CPackingNoteInfoView::showContainers() {
    const NoteContainers containers =
        ContainersOf(doc_.currentPackingNote, doc_.containerScanResult);
    const bool any = containers.count > 0;
    containerCount_->setVisible(any);
    showContainers_->setVisible(any);
    containerCount_->setText(QString::number(containers.count) + QLatin1Char(' ') +
                             T(QLatin1String(ContainerCaptionKey(containers.count))));
}

void CPackingNoteInfoView::updateStepping() {
    const NoteStepping stepping = NoteSteppingFor(doc_.listOrigin, doc_.packingNoteIndex,
                                                  static_cast<int>(doc_.packingNoteList.size()));
    if (!stepping.offered) {
        return;
    }
    frame_.SetActionEnabled(stepping.previous, previous_, kPackingNoteInfoScreen, PreviousEntry);
    frame_.SetActionEnabled(stepping.next, next_, kPackingNoteInfoScreen, NextEntry);
}

QString CPackingNoteInfoView::runOperation(ScreenOperation operation) {
    switch (operation) {
    case ScreenOperation::SaveInfo:
        return sendLogged("Packing Note Info View. Error on Calling PackingNoteLineWebService.",
                          [this] { return backOffice().packingNoteLines(); })
            .operationText();
    case ScreenOperation::PreviousNote:
        stepNote(-1);
        return Result::Ok;
    case ScreenOperation::NextNote:
        stepNote(1);
        return Result::Ok;
    case ScreenOperation::ShowInstructions:
        showInstructions();
        return Result::Ok;
    default:
        return KorvoView::runOperation(operation);
    }
}

bool CPackingNoteInfoView::handleKey(QKeyEvent* event) {
    return DispatchScanScreenKey(event->key(), [this] {
        if (focusedWithText(containerField_)) {
            scanContainer();
        } else {
            switchScreen(Cmd::InfoSave);
        }
    });
}

void CPackingNoteInfoView::scanContainer() {
    const QString container = containerField_->text();
    if (!doc_.currentSettings) {
        return;
    }
    if (!ContainerLabelInRange(doc_, container)) {
        // The next scan replaces the refused label instead of joining it.
        containerField_->selectAll();
        containerField_->setFocus();
        return;
    }
    inputPanel(false);
    const SendResult result =
        sendLogged("Scan Container on PN Info Screen.Error CallPackingNoteContainerSCANWebService",
                   [&] { return backOffice().containerScan(container); });
    if (result.isOk()) {
        containerField_->clear();
        showContainers();
        // The note comes back with the container in its list.
        sendLogged(kReloadLog,
                   [this] { return backOffice().packingNote(NoteAction::CurrentById, QString()); });
        showNote();
    }
    containerField_->selectAll();
    containerField_->setFocus();
}

void CPackingNoteInfoView::stepNote(int step) {
    const bool stepped = StepToListedNote(doc_, step, [this] {
        return sendLogged(kReloadLog, [this] {
            return backOffice().packingNote(NoteAction::CurrentById, QString());
        });
    });
    if (stepped) {
        showNote();
    }
}

void CPackingNoteInfoView::showInstructions() {
    const std::optional<PackingNote>& note = doc_.currentPackingNote;
    if (!note || !note->details || note->details->UI.empty()) {
        return;
    }
    InstructionRequest request;
    request.title = T(QStringLiteral("miInstructions")) + QStringLiteral("  ") + note->CN;
    request.body = InstructionsText(*note->details);
    request.okCaption = T(QStringLiteral("lblOK"));
    Prompter::current().instructionDialog(request);
}

void CPackingNoteInfoView::showContainerList() {
    InstructionRequest request;
    request.title = T(QStringLiteral("miContainers")) + QStringLiteral("  ");
    request.body = ContainersOf(doc_.currentPackingNote, doc_.containerScanResult).listText;
    request.okCaption = T(QStringLiteral("lblOK"));
    request.containerStyle = true;
    Prompter::current().instructionDialog(request);
    containerField_->setFocus();
}
