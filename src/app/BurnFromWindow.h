#pragma once
// The window's burn: the burn dialog's choice carried out disc by disc, with a question before
// each disc, a progress window whose Cancel is confirmed first (a cancelled disc is unusable),
// and one line per disc in the log: blue when verified, red with the reason when it failed.

#include <QWidget>

#include "dialogs/TBurnDialog.h"
#include "frontend/FrontEnd.h"

namespace stowra {

void BurnFromWindow(QWidget* owner, const BurnChoice& choice, Prompter& prompter, LogPane& log);

}  // namespace stowra
