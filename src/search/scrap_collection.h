#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/scrap_book.h"

namespace norvane {

// Every scrapbook of the process, held by the data module.
//
// Locking: Books and every book's document are shared by the request threads, the
// fetch workers, the patrol and the organizer. Every member function takes GateLock()
// itself; a Tword& from Items or Find stays valid only while the caller holds
// GateLock() (DeleteWord on another thread frees it), so hold the lock around the call
// and every use of the book.
class TScrapSerch {
 public:
  // Loads every "scrap/*.keys" book (extension in any letters, names sorted). A book
  // that cannot be loaded is left out with one line on standard error; its files stay.
  TScrapSerch();
  // Saves every book (SaveAll); a failure is reported on standard error.
  ~TScrapSerch();
  TScrapSerch(const TScrapSerch&) = delete;
  TScrapSerch& operator=(const TScrapSerch&) = delete;

  // Loads the book name and appends it. False, with the reason (Shift_JIS) in *error,
  // when it cannot be loaded; nothing changes then.
  bool AddWord(const std::string& name, std::string* error = nullptr);
  // Removes the first book of that name without saving it; its files stay.
  void DeleteWord(const std::string& name);

  int Count() const;
  Tword& Items(int index);  // 0-based, in Books order; throws std::out_of_range
  // The first book whose Name equals name exactly; nullptr when there is none.
  Tword* Find(const std::string& name);

  // Saves each changed book and clears its flag; a book that fails keeps its flag and
  // its previous file, and is reported on standard error. False when any failed.
  bool SaveChanged();
  // Saves every book, changed or not (orderly shutdown). False when any failed.
  bool SaveAll();
  // Saves one book now and clears its flag; false (reported) when it failed. Under
  // GateLock, like every use of a book.
  bool SaveBook(Tword& book) { return Save(book); }

  // Told the program path of each feed file written, under GateLock: it must not wait.
  void SetSavedHook(std::function<void(const std::string& path)> hook);

 private:
  bool Save(Tword& book);

  std::vector<std::unique_ptr<Tword>> Books;
  std::function<void(const std::string& path)> saved_;
};

}  // namespace norvane
