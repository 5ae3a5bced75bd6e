#include "screen_fixture.h"

#include "config/translation_table.h"
#include "widgets/colour_widgets.h"

#include <QApplication>
#include <QTest>

ScreenFixture::ScreenFixture(const QString& language) {
    qApp->setFont(ArialFont(12, false));
    device.fs().installMissingFiles(QStringLiteral(KORVANE_SOURCE_DIR "/resources/translations"),
                                    QStringLiteral("\\Program Files\\Korvo"));
    doc.language = language;
    doc.translations.LoadTranslations(TranslationFilePath(language));
}

QWidget* ScreenFixture::focused() const {
    QWidget* w = QApplication::focusWidget();
    return w != nullptr ? w : frame.client()->focusWidget();
}

void ScreenFixture::press(int key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = focused();
    QTest::keyClick(target != nullptr ? target : frame.client(), static_cast<Qt::Key>(key),
                    modifiers);
}

void ScreenFixture::typeText(const QString& text) {
    QWidget* target = focused();
    QTest::keyClicks(target != nullptr ? target : frame.client(), text);
}
