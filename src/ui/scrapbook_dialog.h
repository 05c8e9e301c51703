#pragma once
#include <QDialog>

#include <string>
#include <vector>

#include "app/scrap_dialog_state.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace norvane {

// The scrapbook dialog TForm7 ("スクラップブックの追加", fixed frame, client 274 x 334):
// a title and the keywords collected in a list. The rules of its buttons are those of
// ScrapDialogState; this draws them. Made for one use.
class TForm7 : public QDialog {
 public:
  explicit TForm7(QWidget* parent = nullptr);

  // What OK answers, in Shift_JIS: the title and the keywords in list order.
  std::string Title() const;
  std::vector<std::string> Keywords() const;

  QLabel* Label1 = nullptr;
  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;

 private:
  void Draw();

  ScrapDialogState state_;
  bool drawing_ = false;
};

}  // namespace norvane
