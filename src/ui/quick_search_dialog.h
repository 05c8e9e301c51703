#pragma once
#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace norvane {

// The quick search TForm6 ("とりあえず検索", resizable, 326 x 103): a phrase, an engine
// of the search catalogue, 表示 to look at the result in the browser, OK to add it.
// The organizer keeps one, so the phrase and the engine stay between uses.
class TForm6 : public QDialog {
 public:
  // titles: the catalogue's engine titles (Shift_JIS) in its order; openUrl opens an
  // address in the browser.
  TForm6(const std::vector<std::string>& titles, std::function<void(const std::string&)> openUrl,
         QWidget* parent = nullptr);

  // The chosen engine's title as the catalogue has it (Shift_JIS); empty for none.
  std::string Engine() const;

  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr;

 private:
  void ShowResult();  // Button1Click
  void Ok();          // Button2Click

  std::vector<std::string> titles_;
  std::function<void(const std::string&)> openUrl_;
};

}  // namespace norvane
