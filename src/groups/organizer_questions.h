#pragma once
#include <optional>
#include <string>
#include <vector>

namespace norvane {

class BackgroundTask;

// What the quick search dialog answers on OK: the engine title chosen and the phrase.
struct SearchAnswer {
  std::string engine;
  std::string phrase;
};

// What the scrapbook dialog answers on OK: the title and the keywords in list order.
struct ScrapAnswer {
  std::string title;
  std::vector<std::string> keywords;
};

// Everything the group organizer asks the user. The desktop answers with its dialogs,
// tests from a script. Every text crossing here is Shift_JIS, the program's code.
class OrganizerQuestions {
 public:
  virtual ~OrganizerQuestions() = default;
  // One line of input under a caption and a prompt, the line preset; browse enables
  // the file chooser. nullopt when the user cancels.
  virtual std::optional<std::string> AskLine(const std::string& caption, const std::string& prompt,
                                             const std::string& preset, bool browse) = 0;
  // A question with the answers Yes and No; true only for Yes.
  virtual bool AskYesNo(const std::string& question) = 0;
  // The quick search dialog, made once per organizer so that its phrase and engine
  // stay filled between uses. nullopt when the user cancels.
  virtual std::optional<SearchAnswer> AskSearch() = 0;
  // The scrapbook dialog, made for one use. nullopt when the user cancels.
  virtual std::optional<ScrapAnswer> AskScrapbook() = 0;
  // A notice with an OK button: a failure that stays inside the organizer.
  virtual void Tell(const std::string& message) = 0;
  // Waits for task (a fetch on its own thread) while showing that message is under way
  // and letting the user cancel it (task.Cancel()). The desktop keeps running
  // meanwhile. Returns once the task has finished, or early when the program ends.
  virtual void WaitBusy(const std::string& message, BackgroundTask& task) = 0;
};

}  // namespace norvane
