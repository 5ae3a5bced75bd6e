#include "widgets/key_table.h"

#include <Qt>

unsigned ScreenKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnterKey;
    case Qt::Key_Right:
        return kRightKey;
    case Qt::Key_Left:
        return kLeftKey;
    case Qt::Key_Escape:
        return kEscapeKey;
    case Qt::Key_Up:
        return kUpKey;
    case Qt::Key_Down:
        return kDownKey;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kTabKey;
    case Qt::Key_F1:
    case Qt::Key_F2:
    case Qt::Key_F3:
        return kSoftKey;
    default:
        return 0;
    }
}

bool DispatchKey(int qtKey, std::initializer_list<KeyRow> rows, bool othersUsedUp) {
    const unsigned key = ScreenKeyOf(qtKey);
    if (key != 0) {
        for (const KeyRow& row : rows) {
            if ((row.keys & key) != 0) {
                return row.action(qtKey);
            }
        }
    }
    return othersUsedUp;
}

bool DispatchScanScreenKey(int qtKey, const std::function<void()>& enter) {
    return DispatchKey(qtKey, {{kEnterKey,
                                [&enter](int) {
                                    enter();
                                    return true;
                                }},
                               {kSidewaysKeys, UseUp}});
}
