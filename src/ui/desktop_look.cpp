#include "ui/desktop_look.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace norvane {

namespace {
constexpr const char* kUiFont = "Noto Sans CJK JP";
constexpr int kUiFontPixels = 12;
}  // namespace

bool InstallJapaneseLook(QApplication& app) {
  auto* translator = new QTranslator(&app);
  const bool found =
      translator->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  if (found) app.installTranslator(translator);
  QFont font = QApplication::font();
  if (QFontDatabase::families().contains(kUiFont)) font.setFamily(kUiFont);
  font.setPixelSize(kUiFontPixels);
  QApplication::setFont(font);
  return found;
}

}  // namespace norvane
