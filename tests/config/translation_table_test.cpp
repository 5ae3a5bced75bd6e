#include "config/translation_table.h"
#include "scripted_prompter.h"
#include "test_device.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

TEST(TranslationTable, LookupRules) {
    TranslationTable table;
    EXPECT_EQ(table.T("lblOK"), "") << "an empty table gives empty texts";
    ASSERT_TRUE(table.LoadFromText("lblOK=OK\nlblEmpty=\nmsgA=a=b\nlblOK=second\n"));
    EXPECT_EQ(table.T("lblOK"), "OK") << "the first entry wins";
    EXPECT_EQ(table.T("lblEmpty"), "") << "an empty text is a translation";
    EXPECT_EQ(table.T("msgA"), "a=b") << "only the first = separates";
    EXPECT_EQ(table.T("msgTryAgain"), "msgTryAgain Not Translated !");
    EXPECT_EQ(table.T("lblok"), "lblok Not Translated !") << "keys are case-sensitive";
}

TEST(TranslationTable, ParsingRules) {
    struct Case {
        const char* name;
        QString text;
        QList<std::pair<QString, QString>> entries;
    };
    const Case cases[] = {
        {"carriage returns stay in the text", "a=1\r\nb=2\r\n", {{"a", "1\r"}, {"b", "2\r"}}},
        {"blanks are kept", " a = 1 \n", {{" a ", " 1 "}}},
        {"a last line without a line feed is loaded", "a=1\nb=2", {{"a", "1"}, {"b", "2"}}},
        {"a line without = takes the next line's text",
         "orphan\nb=2\nc=3\n",
         {{"orphan", "2"}, {"c", "3"}}},
        {"an empty line gives an empty key", "\nb=2\n", {{"", "2"}}},
        {"trailing text without = is ignored", "a=1\ntrailing", {{"a", "1"}}},
        {"key and = only", "a=", {{"a", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TranslationTable table;
        table.LoadFromText(c.text);
        QList<std::pair<QString, QString>> got;
        for (const CLanguage& e : table.entries()) {
            got.append({e.key, e.text});
        }
        EXPECT_EQ(got, c.entries);
    }
}

TEST(TranslationTable, LoadsOncePerRun) {
    TestDevice device;
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    device.write("\\Program Files\\Korvo\\ZIRPA_English.txt", "miBack=Back\n");
    device.write("\\Program Files\\Korvo\\ZIRPA_Deutsch.txt", "miBack=Zur\xFC"
                                                              "ck\n");
    TranslationTable table;
    EXPECT_FALSE(table.LoadTranslations(TranslationFilePath("Missing")));
    EXPECT_TRUE(table.isEmpty());
    EXPECT_TRUE(table.LoadTranslations(TranslationFilePath("English")));
    EXPECT_TRUE(table.LoadTranslations(TranslationFilePath("Deutsch")));
    EXPECT_EQ(table.T("miBack"), "Back") << "a new language waits for the next start";
    EXPECT_EQ(prompter.waitDepth, 0);
    table.ClearTranslations();
    EXPECT_TRUE(table.LoadTranslations(TranslationFilePath("Deutsch")));
    EXPECT_EQ(table.T("miBack"), QString::fromUtf8("Zur\xC3\xBC"
                                                   "ck"));
}

TEST(TranslationTable, HostileFiles) {
    TestDevice device;
    TranslationTable table;
    device.write("\\t.txt", QByteArray("\0\0\0", 3));
    EXPECT_FALSE(table.LoadTranslations("\\t.txt"));
    device.write("\\t.txt", QByteArray(20 * 1024 * 1024, '='));
    EXPECT_FALSE(table.LoadTranslations("\\t.txt")) << "beyond the file cap";
    QByteArray many;
    for (int i = 0; i < 100000; ++i) {
        many += "k" + QByteArray::number(i) + "=v\n";
    }
    device.write("\\t.txt", many);
    EXPECT_TRUE(table.LoadTranslations("\\t.txt"));
    EXPECT_EQ(table.T("k99999"), "v");
}

namespace {

QSet<QString> keysOfFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    TranslationTable table;
    table.LoadFromText(QString::fromLatin1(file.readAll()));
    QSet<QString> keys;
    for (const CLanguage& e : table.entries()) {
        // The back office's result codes that carry details (which handheld
        // holds a note) are empty on purpose: the handheld then shows the
        // back office's own message.
        static const QSet<QString> detailCodes = {QStringLiteral("BO102"), QStringLiteral("BO105")};
        EXPECT_TRUE(!e.text.isEmpty() || detailCodes.contains(e.key))
            << e.key.toStdString() << " has no text in " << path.toStdString();
        EXPECT_FALSE(e.text.contains('\r')) << e.key.toStdString();
        keys.insert(e.key);
    }
    return keys;
}

} // namespace

// Every key the program looks up must be in every shipped language.
TEST(TranslationTable, ShippedFilesHoldEveryKeyTheCodeUses) {
    const QString source = QStringLiteral(KORVANE_SOURCE_DIR);
    static const QRegularExpression literal(
        QStringLiteral("\"((?:lbl|msg|mi|Err)[A-Z][A-Za-z0-9]*|PASW\\d+)\""));
    QSet<QString> used;
    for (const char* folder : {"shell", "config", "model", "service", "widgets", "screens"}) {
        QDirIterator it(source + "/" + folder, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (auto m = literal.globalMatch(text); m.hasNext();) {
                used.insert(m.next().captured(1));
            }
        }
    }
    ASSERT_GT(used.size(), 10);
    const QSet<QString> english = keysOfFile(source + "/resources/translations/ZIRPA_English.txt");
    for (const char* language : {"English", "Deutsch", "Nederlands"}) {
        const QString path = source + "/resources/translations/ZIRPA_" + language + ".txt";
        const QSet<QString> keys = keysOfFile(path);
        for (const QString& key : used) {
            EXPECT_TRUE(keys.contains(key)) << key.toStdString() << " missing in " << language;
        }
        EXPECT_EQ(keys, english) << language << " differs from English";
    }
}
