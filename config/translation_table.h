#pragma once

#include <QHash>
#include <QList>
#include <QString>

// One translation: a key such as "lblPassword" and its text.
struct CLanguage {
    QString key;
    QString text;
};

// Every caption, menu text and message of the program, loaded once per run from
// "ZIRPA_<language>.txt" next to the program.
class TranslationTable {
public:
    // Fills the table from the file; true when the table holds entries. A table
    // that already holds entries is kept as it is: a new language takes effect at
    // the next start.
    bool LoadTranslations(const QString& devicePath);
    // Parses file text into the table (what LoadTranslations does after reading).
    bool LoadFromText(const QString& text);

    // The text of the first entry with exactly this key; "" while the table is
    // empty; the key and " Not Translated !" when no entry has it.
    QString T(const QString& key) const;

    void ClearTranslations();

    bool isEmpty() const { return entries_.isEmpty(); }
    const QList<CLanguage>& entries() const { return entries_; }

private:
    QList<CLanguage> entries_;
    QHash<QString, qsizetype> firstIndex_;
};

// The translation file of a language: ProgramDirectory + "\ZIRPA_" + language + ".txt".
QString TranslationFilePath(const QString& language);

// Where the translation files that ship with the program are built in (a Qt
// resource folder, linked into the program).
inline const QString kShippedTranslations = QStringLiteral(":/translations");

// Fills an empty table from the translation the program ships for the
// language, or from the shipped English one when the language is not
// shipped: what the program speaks when the device's own file cannot be
// read (a read-only or full device root). True when the table holds entries.
bool LoadShippedTranslations(TranslationTable& table, const QString& language);
