#pragma once
// The window's burn: the burn dialog's choice carried out disc by disc, with a question before
// each disc, a progress window whose Cancel is confirmed first (a cancelled disc is unusable),
// and one line per disc in the log: blue when verified, red with the reason when it failed.
// Beside it the window's check of a disc image or a drive's disc.

#include <QWidget>

#include "burn/DiscCheck.h"
#include "dialogs/TBurnDialog.h"
#include "frontend/FrontEnd.h"
#include "ui/MoveProgress.h"

namespace stowra {

void BurnFromWindow(QWidget* owner, const BurnChoice& choice, Prompter& prompter, LogPane& log);

// Checks the image or the drive's disc with its progress and Cancel in `view`, then writes one line
// in the log: blue when verified, red naming the damaged files or the reason.
void VerifyDiscFromWindow(const burning::DiscCheckRequest& request, ProgressView& view, LogPane& log);

}  // namespace stowra
