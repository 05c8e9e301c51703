#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace norvane {

// The one-line input TForm4 (fixed frame, client 320 x 93): a prompt, the line, OK,
// キャンセル and 参照..., whose file chooser puts the picked file's full path in the
// line. Made for one use; the caller sets caption, prompt, preset and 参照....
class TForm4 : public QDialog {
 public:
  explicit TForm4(QWidget* parent = nullptr);

  void Setup(const QString& caption, const QString& prompt, const QString& preset, bool browse);

  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr;

 private:
  void Browse();  // Button3Click
};

}  // namespace norvane
