// The department and employee screen: the combo, the employee lookup and when
// the worker may move on.
#include "config/log.h"
#include "screen_fixture.h"
#include "screens/department_selection_view.h"
#include "widgets/image_button.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <stdexcept>

namespace {

using Message = RecordingBackOffice::Message;

class DepartmentView : public ScreenFixture {
protected:
    DepartmentView() {
        doc.operatingMode = kRouteMode;
        Settings s;
        s.PDID = 4;
        s.departments = {
            {2, "A", "Dairy"}, {4, "B", "Bakery"}, {4, "C", "Bakery night"}, {9, "D", "Frozen"}};
        doc.currentSettings = s;
        office.employees[1047] = "Jan de Vries";
    }

    CDepartmentSelectionView* openWith(bool employeeNumber) {
        doc.currentSettings->DNENR = employeeNumber;
        return open<CDepartmentSelectionView>();
    }
    QString name() { return child<QLabel>("employeeName")->text(); }
    bool saveShown() { return child<CImageButton>("save")->isEnabled(); }
    void enterNumber(const QString& number) {
        child<QLineEdit>("employeeNumber")->setFocus();
        child<QLineEdit>("employeeNumber")->setText(number);
        press(Qt::Key_Return);
    }
};

TEST_F(DepartmentView, DepartmentsWithoutEmployeeNumber) {
    CDepartmentSelectionView* view = openWith(false);
    EXPECT_EQ(view->titleLabel()->text(), "Select department");
    auto* combo = child<QComboBox>("department");
    ASSERT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(0), "Dairy");
    EXPECT_EQ(combo->currentIndex(), 2) << "the last row with the default id";
    EXPECT_EQ(focused(), combo);
    EXPECT_FALSE(child<QLineEdit>("employeeNumber")->isVisible());
    EXPECT_TRUE(saveShown());
    EXPECT_TRUE(frame.actionEnabled(kDepartmentScreen, 0));

    press(Qt::Key_Down);
    EXPECT_EQ(combo->currentIndex(), 3);
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::DepartmentSave});
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreDepartment), Result::Ok);
    EXPECT_EQ(doc.departmentId, 9);
    EXPECT_TRUE(office.exchanges.isEmpty());
}

TEST_F(DepartmentView, KeysBackAndForward) {
    openWith(true);
    press(Qt::Key_Right);
    EXPECT_TRUE(frame.commands.empty()) << "Right does nothing while Save is off";
    press(Qt::Key_Left);
    press(Qt::Key_Escape);
    EXPECT_EQ(frame.commands, (std::vector<int>{Cmd::DepartmentBack, Cmd::DepartmentBack}));
}

TEST_F(DepartmentView, NoDepartmentsNothingToSave) {
    doc.currentSettings->departments.clear();
    CDepartmentSelectionView* view = openWith(false);
    EXPECT_EQ(child<QComboBox>("department")->count(), 0);
    EXPECT_FALSE(saveShown());
    EXPECT_FALSE(frame.actionEnabled(kDepartmentScreen, 0));
    press(Qt::Key_Return);
    EXPECT_TRUE(frame.commands.empty());
    doc.departmentId = 5;
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreDepartment), Result::NotOk);
    EXPECT_EQ(doc.departmentId, 5);
}

TEST_F(DepartmentView, NoSettingsAtAll) {
    doc.currentSettings.reset();
    CDepartmentSelectionView* view = open<CDepartmentSelectionView>();
    EXPECT_FALSE(saveShown());
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreDepartment), Result::NotOk);
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreDay), Result::NotOk)
        << "an operation of another screen fails";
}

TEST_F(DepartmentView, EmployeeConfirmedThenEnterMovesOn) {
    doc.employeeConfirmed = true; // from an earlier visit
    doc.showScreenKeyboard = "Y";
    openWith(true);
    EXPECT_FALSE(saveShown()) << "every visit confirms again";
    EXPECT_FALSE(frame.actionEnabled(kDepartmentScreen, 0));
    EXPECT_EQ(focused(), child<QLineEdit>("employeeNumber")) << "a badge scan goes straight in";
    EXPECT_TRUE(prompter.inputPanelUp) << "the field raises the keyboard";
    enterNumber("1047");
    EXPECT_FALSE(prompter.inputPanelUp) << "lowered for the exchange";
    ASSERT_EQ(office.exchanges.size(), 1);
    EXPECT_EQ(office.exchanges[0].message, Message::Employee);
    EXPECT_EQ(office.exchanges[0].numbers[0], 1047);
    EXPECT_EQ(name(), "Jan de Vries");
    EXPECT_TRUE(saveShown());
    EXPECT_TRUE(frame.actionEnabled(kDepartmentScreen, 0));
    EXPECT_TRUE(frame.commands.empty());
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::DepartmentSave});
}

TEST_F(DepartmentView, UnknownNumberIsNotAskedTwice) {
    openWith(true);
    enterNumber("555");
    EXPECT_EQ(name(), "");
    EXPECT_FALSE(saveShown());
    enterNumber("555");
    EXPECT_EQ(office.exchanges.size(), 1) << "the same number after an answer sends nothing";
    enterNumber("");
    EXPECT_EQ(office.exchanges.size(), 1) << "an empty number sends nothing";
    enterNumber("1047");
    EXPECT_EQ(office.exchanges.size(), 2);
    EXPECT_TRUE(saveShown());
}

TEST_F(DepartmentView, AFailedLookupCanBeTriedAgain) {
    const QString error = "12029: A connection with the server could not be established. "
                          "Check the network and try again.";
    office.fail(Message::Employee, error);
    openWith(true);
    enterNumber("1047");
    EXPECT_EQ(name(), error);
    // The whole text shows, above the button row.
    auto* label = child<QLabel>("employeeName");
    EXPECT_LE(label->heightForWidth(label->width()), label->height());
    EXPECT_LT(label->geometry().bottom(), child<CImageButton>("save")->geometry().top());
    EXPECT_FALSE(saveShown());
    enterNumber("1047");
    EXPECT_EQ(office.exchanges.size(), 2) << "the network came back: the same number again";
    EXPECT_EQ(name(), "Jan de Vries");
    EXPECT_TRUE(saveShown());
}

TEST_F(DepartmentView, AnExceptionInTheLookupIsLoggedAndTheNumberStaysOpen) {
    device.mkdir("\\Korvo_XML\\Log");
    office.on(Message::Employee, [](CKorvoDoc&, const RecordingBackOffice::Exchange&) {
        throw std::runtime_error("socket gone");
    });
    openWith(true);
    enterNumber("1047");
    EXPECT_EQ(name(), "");
    EXPECT_FALSE(saveShown());
    EXPECT_TRUE(QString::fromLatin1(device.read(LogFilePath("")))
                    .contains("DepartmentSelection.Error CallEmployeeWebServicesocket gone"));
    office.on(Message::Employee, nullptr);
    enterNumber("1047");
    EXPECT_EQ(office.exchanges.size(), 2);
    EXPECT_EQ(name(), "Jan de Vries");
}

TEST_F(DepartmentView, PackingNoteModeAsksOnlyTheEmployee) {
    doc.operatingMode = kPackingNoteMode;
    doc.currentSettings->departments.clear();
    CDepartmentSelectionView* view = openWith(true);
    EXPECT_EQ(view->titleLabel()->text(), "Employee");
    EXPECT_FALSE(child<QComboBox>("department")->isVisible());
    EXPECT_TRUE(child<QLineEdit>("employeeNumber")->isVisible());
    EXPECT_EQ(focused(), child<QLineEdit>("employeeNumber"));
    typeText("1047");
    press(Qt::Key_Return);
    EXPECT_TRUE(saveShown()) << "no department is needed to scan notes";
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::DepartmentSave});
}

TEST_F(DepartmentView, NamesAndDescriptionsAreShownAsText) {
    doc.currentSettings->departments = {{1, "X", "<b>Bold</b> &amp; " + QString(1000, 'x')}};
    office.employees[7] = "<i>Jan</i>";
    openWith(true);
    EXPECT_TRUE(child<QComboBox>("department")->itemText(0).startsWith("<b>Bold</b> &amp; "));
    enterNumber("7");
    EXPECT_EQ(child<QLabel>("employeeName")->textFormat(), Qt::PlainText);
    EXPECT_EQ(name(), "<i>Jan</i>");
}

} // namespace
