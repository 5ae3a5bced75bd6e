#include "backoffice/texts.h"

#include <array>

namespace backoffice {

namespace {

struct Texts {
    std::string_view language;
    std::array<const char*, 15> text;
};

// UTF-8; the handheld shows them in its own character set.
const Texts kTexts[] = {
    {"English",
     {"Packing note {1} is being worked on by handheld {2}.",
      "Container {1} is already on packing note {2}, which is not done yet.",
      "Packing note {1} was not printed. The office keeps the document; ask your supervisor.",
      "Accepted. {1}", "{1} of {2} delivered.", "Already scanned. {1}",
      "This item was counted before; nothing changed.", "Scanned for another packing note. {1}",
      "Unknown code. {1}", "This code is not in the pool. Put the item aside.",
      "Not on this packing note. {1}", "Bundle {1} holds {2} items.", "Take the whole bundle?",
      "Everything is delivered already. {1}", "{1} of {2} delivered. Deliver one more?"}},
    {"Deutsch",
     {"Packschein {1} wird gerade am Handger\xC3\xA4t {2} bearbeitet.",
      "Beh\xC3\xA4lter {1} geh\xC3\xB6rt schon zu Packschein {2}, der noch nicht fertig ist.",
      "Packschein {1} wurde nicht gedruckt. Das B\xC3\xBCro hat das Dokument; bitte den "
      "Vorgesetzten fragen.",
      "Angenommen. {1}", "{1} von {2} geliefert.", "Schon gescannt. {1}",
      "Dieser Artikel wurde schon gez\xC3\xA4hlt; nichts ge\xC3\xA4ndert.",
      "F\xC3\xBCr einen anderen Packschein gescannt. {1}", "Unbekannter Code. {1}",
      "Dieser Code ist nicht im Pool. Artikel beiseitelegen.", "Nicht auf diesem Packschein. {1}",
      "Bund {1} enth\xC3\xA4lt {2} Artikel.", "Das ganze Bund nehmen?",
      "Schon alles geliefert. {1}", "{1} von {2} geliefert. Noch einen liefern?"}},
    {"Nederlands",
     {"Pakbon {1} wordt bewerkt op handterminal {2}.",
      "Container {1} hoort al bij pakbon {2}, die nog niet klaar is.",
      "Pakbon {1} is niet afgedrukt. Het kantoor bewaart het document; vraag uw leidinggevende.",
      "Geaccepteerd. {1}", "{1} van {2} geleverd.", "Al gescand. {1}",
      "Dit artikel is al geteld; er is niets veranderd.", "Gescand voor een andere pakbon. {1}",
      "Onbekende code. {1}", "Deze code staat niet in de pool. Leg het artikel apart.",
      "Niet op deze pakbon. {1}", "Bundel {1} bevat {2} artikelen.", "De hele bundel nemen?",
      "Alles is al geleverd. {1}", "{1} van {2} geleverd. Nog een leveren?"}},
};

void replace(std::string& text, std::string_view mark, std::string_view value) {
    const size_t at = text.find(mark);
    if (at != std::string::npos) {
        text.replace(at, mark.size(), value);
    }
}

} // namespace

std::string Say(std::string_view language, Text text, std::string_view first,
                std::string_view second) {
    const Texts* set = &kTexts[0];
    for (const Texts& candidate : kTexts) {
        if (candidate.language == language) {
            set = &candidate;
        }
    }
    std::string out = set->text[static_cast<size_t>(text)];
    replace(out, "{1}", first);
    replace(out, "{2}", second);
    return out;
}

} // namespace backoffice
