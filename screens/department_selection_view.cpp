#include "screens/department_selection_view.h"

#include "config/text_helpers.h"
#include "model/entry_rules.h"
#include "model/korvo_doc.h"
#include "service/back_office.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace {

QLabel* caption(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

CDepartmentSelectionView::CDepartmentSelectionView(ScreenFrame& frame, CKorvoDoc& doc,
                                                   QWidget* parent)
    : KorvoView(frame, doc, kDepartmentScreen, parent) {
    departmentCaption_ = caption(this, "departmentCaption");
    department_ = new QComboBox(this);
    department_->setObjectName(QStringLiteral("department"));
    department_->setEditable(false);
    department_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    employeeCaption_ = caption(this, "employeeCaption");
    employeeNumber_ = new QLineEdit(this);
    employeeNumber_->setObjectName(QStringLiteral("employeeNumber"));
    employeeNumber_->installEventFilter(this);
    employeeName_ = caption(this, "employeeName");
    employeeName_->setWordWrap(true);
    employeeName_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    save_ = MakeScreenButton(this, "save", kSaveButtonId, IconGlyph::Save);
    back_ = MakeScreenButton(this, "back", kBackButtonId, IconGlyph::Back);
    connect(save_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::DepartmentSave); });
    connect(back_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::DepartmentBack); });
}

void CDepartmentSelectionView::activate() {
    doc_.employeeConfirmed = false;
    routeMode_ = doc_.IsRouteMode();
    employeeWanted_ = doc_.currentSettings && doc_.currentSettings->DNENR;

    setTitle(T(routeMode_ ? QStringLiteral("lblSelectDepartment") : QStringLiteral("lblEmployee")));
    departmentCaption_->setText(T(QStringLiteral("lblDepartment")));
    employeeCaption_->setText(T(QStringLiteral("lblEmployee")));
    layoutButtons({kSaveButtonId, kBackButtonId, 0, 0, 0, 0});

    departmentCaption_->setVisible(routeMode_);
    department_->setVisible(routeMode_);
    employeeCaption_->setVisible(employeeWanted_);
    employeeNumber_->setVisible(employeeWanted_);
    employeeName_->setVisible(employeeWanted_);
    placeControls();

    fillDepartments();
    updateSaveState();
    // The department comes preselected; what the worker does first is scan his
    // badge, so the number field takes the focus whenever it is shown.
    if (employeeWanted_) {
        employeeNumber_->setFocus(Qt::OtherFocusReason);
    }
}

void CDepartmentSelectionView::fillDepartments() {
    QSignalBlocker block(department_);
    department_->clear();
    departmentIds_.clear();
    if (!doc_.currentSettings) {
        return;
    }
    const std::vector<PlantDepartments>& rows = doc_.currentSettings->departments;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(rows.size()));
    departmentIds_.reserve(rows.size());
    for (const PlantDepartments& row : rows) {
        texts << row.PDD;
        departmentIds_.push_back(row.PDIDS);
    }
    department_->addItems(texts);
    department_->setCurrentIndex(PreselectedDepartment(rows, doc_.currentSettings->PDID));
}

void CDepartmentSelectionView::placeControls() {
    const QRect area = contentArea();
    const int left = 8;
    const int width = area.width() - 2 * left;
    int y = area.top() + 8;
    if (routeMode_) {
        departmentCaption_->setGeometry(left, y, width, 18);
        department_->setGeometry(left, y + 20, width, 26);
        y += 58;
    }
    employeeCaption_->setGeometry(left, y, width, 18);
    employeeNumber_->setGeometry(left, y + 20, width, 26);
    // A transport error's text runs to several lines; it gets the room down to
    // the button row.
    employeeName_->setGeometry(left, y + 50, width, std::max(40, area.bottom() - (y + 50)));
}

bool CDepartmentSelectionView::saveEnabled() const {
    return DepartmentSaveEnabled(routeMode_, departmentIds_.size(), employeeWanted_,
                                 doc_.employeeConfirmed);
}

void CDepartmentSelectionView::updateSaveState() {
    frame_.SetActionEnabled(saveEnabled(), save_, kDepartmentScreen, 0);
}

void CDepartmentSelectionView::lookUpEmployee() {
    const QString number = employeeNumber_->text();
    employeeName_->clear();
    if (!employeeWanted_ || number.isEmpty() || number == lastAnswered_) {
        return;
    }
    inputPanel(false);
    const EmployeeAnswer answer =
        sendLogged("DepartmentSelection.Error CallEmployeeWebService",
                   [&] { return backOffice().employee(TextToInt(number)); });
    updateSaveState();
    employeeName_->setText(answer.text);
    if (answer.answered) {
        lastAnswered_ = number;
    }
    if (!answer.found) {
        // The next scan of a badge replaces the refused number.
        employeeNumber_->setFocus(Qt::OtherFocusReason);
        employeeNumber_->selectAll();
    }
}

QString CDepartmentSelectionView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::StoreDepartment) {
        return KorvoView::runOperation(operation);
    }
    const int row = department_->currentIndex();
    if (!saveEnabled() || row < 0 || row >= static_cast<int>(departmentIds_.size())) {
        return Result::NotOk;
    }
    doc_.departmentId = departmentIds_[static_cast<std::size_t>(row)];
    return Result::Ok;
}

bool CDepartmentSelectionView::handleKey(QKeyEvent* event) {
    return DispatchKey(event->key(), {
                                         {kEnterKey,
                                          [this](int) {
                                              if (saveEnabled()) {
                                                  switchScreen(Cmd::DepartmentSave);
                                              } else {
                                                  lookUpEmployee();
                                              }
                                              return true;
                                          }},
                                         {kBackKeys, keyCommand(Cmd::DepartmentBack)},
                                         {kRightKey,
                                          [this](int) {
                                              if (saveEnabled()) {
                                                  switchScreen(Cmd::DepartmentSave);
                                              }
                                              return true;
                                          }},
                                     });
}

bool CDepartmentSelectionView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == employeeNumber_) {
        if (event->type() == QEvent::FocusIn) {
            inputPanel(true);
        } else if (event->type() == QEvent::FocusOut) {
            // A box shown over the field takes the focus only for a moment.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                inputPanel(false);
            }
        }
    }
    return KorvoView::eventFilter(watched, event);
}
