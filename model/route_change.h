#pragma once

#include "model/records.h"

#include <QString>
#include <functional>

class CKorvoDoc;

// A scanned note that belongs to another route: what becomes of the worker's
// route, by the plant's rule (AORD), once the answer's route change is read.

enum class RouteChangeStep {
    Nothing,      // the route and its counters stay as they are
    StopCounting, // the worker stays on his route; its counters stop being current
    TakeOver,     // the route becomes the note's
    Ask,          // the worker is asked; Yes takes the route over, No stops counting
};
// Asks only when the note's route is another one; nothing happens without
// the plant's settings, a route or a note.
RouteChangeStep RouteChangeStepFor(const CKorvoDoc& doc);

// The question put to the worker (a Yes/No question).
QString RouteChangeQuestion(const CKorvoDoc& doc, const RouteChange& change);

// Carries out the step for the note just scanned; `ask` puts the question and
// answers true for Yes.
void SettleRouteChange(CKorvoDoc& doc, const std::function<bool(const QString& question)>& ask);
