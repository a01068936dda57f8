// The program's artwork, drawn in code so that every size stays sharp: the
// emblem (program icon), the skins, the splash picture and the prompt's
// picture. The art tool writes them as files; the dialogs draw the icons.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace res {

// The splash picture's outside: the splash window is shaped by this colour.
inline const QColor kSplashKeyColour(255, 0, 240);

QImage MakeEmblem(int size);                       // the program icon, square, transparent
QImage MakeMainSkin(QSize size, int bannerHeight); // main and preview dialogs
QImage MakeSecondarySkin(QSize size);              // analysis, saving, prompt, completion, About
QImage MakeSplash(QSize size);                     // outside filled with kSplashKeyColour
QImage MakePromptPicture(QSize size);              // overwrite prompt, transparent

} // namespace res
