#pragma once

class QApplication;

namespace norvane {

// The desktop speaks Japanese: Qt's own buttons read はい and いいえ, and every window
// uses the Japanese UI font (Noto Sans CJK JP when installed) at a 12-pixel height.
// Returns whether Qt's Japanese translation was found.
bool InstallJapaneseLook(QApplication& app);

}  // namespace norvane
