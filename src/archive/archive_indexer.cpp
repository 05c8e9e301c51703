#include "archive/archive_indexer.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <map>

#include "core/allocator_tuning.h"
#include "core/trace.h"

namespace norvane {

namespace {

// More saves waiting than this are forgotten for one comparison of every file's stamp.
constexpr size_t kMaxQueued = 4096;
// How long an index that could not be had waits before it is tried again.
constexpr auto kRetryAfter = std::chrono::seconds(30);

}  // namespace

ArchiveIndexer::ArchiveIndexer(std::string indexDisk) : indexDisk_(std::move(indexDisk)) {}

ArchiveIndexer::~ArchiveIndexer() { Stop(); }

void ArchiveIndexer::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  SetStatus(IndexStatus::State::Starting, 0, 0);
  thread_ = std::thread([this] { Run(); });
}

void ArchiveIndexer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard reading(readerMutex_);
  reader_.reset();
  writer_.reset();
}

void ArchiveIndexer::SourceSaved(const std::string& programPath) {
  {
    std::lock_guard lock(mutex_);
    if (queued_.count(programPath)) return;
    if (queue_.size() >= kMaxQueued) {
      resync_ = true;
      queue_.clear();
      queued_.clear();
    } else {
      queue_.push_back(programPath);
      queued_.insert(programPath);
    }
  }
  changed_.notify_all();
}

void ArchiveIndexer::Hold(bool held) {
  {
    std::lock_guard lock(mutex_);
    holds_ = held ? holds_ + 1 : std::max(0, holds_ - 1);
  }
  changed_.notify_all();
}

void ArchiveIndexer::WaitUnheld() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stop_.load() || holds_ == 0; });
}

IndexStatus ArchiveIndexer::Status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

bool ArchiveIndexer::Read(const std::function<void(IndexReader&)>& read) {
  std::lock_guard lock(readerMutex_);
  if (!reader_) return false;
  try {
    IndexReader reader(*reader_);
    read(reader);
  } catch (const SqliteError& e) {
    if (e.Damaged()) {
      // The thread makes it anew; this search reads the files.
      std::lock_guard queue(mutex_);
      resync_ = true;
      damaged_ = true;
    }
    changed_.notify_all();
    throw;
  }
  return true;
}

bool ArchiveIndexer::WaitSettled(std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    const bool started = status_.state == IndexStatus::State::Ready || status_.state == IndexStatus::State::Unavailable;
    return started && queue_.empty() && !busy_ && !resync_;
  });
}

void ArchiveIndexer::SetStatus(IndexStatus::State state, size_t done, size_t total, std::string reason) {
  {
    std::lock_guard lock(mutex_);
    status_ = {state, done, total, std::move(reason)};
  }
  changed_.notify_all();
}

bool ArchiveIndexer::Open() {
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      bool made = false;
      writer_ = OpenIndexForWriting(indexDisk_, made);
      {
        std::lock_guard reading(readerMutex_);
        reader_ = OpenIndexForReading(indexDisk_);
      }
      Sync(made);
      return true;
    } catch (const SqliteError& e) {
      {
        std::lock_guard reading(readerMutex_);
        reader_.reset();
      }
      writer_.reset();
      if (e.Damaged() && attempt == 0) {
        RemoveIndexFiles(indexDisk_);
        continue;
      }
      WriteErrorLog(TraceArea::Find, "SqliteError", e.what());
      SetStatus(IndexStatus::State::Unavailable, 0, 0, e.what());
      return false;
    }
  }
  return false;
}

void ArchiveIndexer::Sync(bool rebuilt) {
  IndexWriter writer(*writer_);
  const std::vector<SourceFile> files = ListSourceFiles();
  std::map<std::string, std::string> stamps = writer.Stamps();
  std::vector<const SourceFile*> todo;
  for (const SourceFile& f : files) {
    auto it = stamps.find(f.path);
    if (it == stamps.end() || it->second != f.stamp) todo.push_back(&f);
    if (it != stamps.end()) stamps.erase(it);
  }
  for (const auto& [path, stamp] : stamps) writer.Remove(path);  // their files are gone
  SetStatus(todo.empty() && !rebuilt ? IndexStatus::State::Ready : IndexStatus::State::Building, 0, todo.size());
  for (size_t i = 0; i < todo.size(); ++i) {
    WaitUnheld();
    if (Stopping()) return;
    Apply(todo[i]->path);
    SetStatus(IndexStatus::State::Building, i + 1, todo.size());
  }
  SetStatus(IndexStatus::State::Ready, todo.size(), todo.size());
}

void ArchiveIndexer::Apply(const std::string& path) {
  IndexWriter writer(*writer_);
  SourceFile file{path, false, {}};
  file.stamp = FileStamp(path);  // before reading: a later write is seen again
  if (file.stamp.empty() || !IsSourcePath(path, &file.book)) {
    writer.Remove(path);
    return;
  }
  ArchiveSource source;
  try {
    source = ReadSource(file);
  } catch (const std::exception& e) {
    // A file that does not load holds nothing to find until it is written again.
    WriteErrorLog(TraceArea::Find, "exception", path + ": " + e.what());
    source = ArchiveSource{file, {}, {}, {}, {}};
  }
  writer.Update(source);
}

void ArchiveIndexer::Run() {
  // The index is made in the time pages leave over (on Linux a thread's niceness is its
  // own). Not the lowest: a thread that seldom runs would hold the allocator's locks long.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
  while (!Stopping()) {
    if (!writer_) {
      bool damaged;
      {
        std::lock_guard lock(mutex_);
        damaged = damaged_;
        damaged_ = false;
        resync_ = false;
      }
      if (damaged) RemoveIndexFiles(indexDisk_);
      if (!Open()) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kRetryAfter, [&] { return stop_.load(); });
        continue;
      }
    }
    std::string path;
    bool resync = false, damaged = false;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_.load() || ((resync_ || !queue_.empty()) && holds_ == 0); });
      if (stop_) return;
      resync = resync_;
      damaged = damaged_;
      resync_ = false;
      if (!resync) {
        path = std::move(queue_.front());
        queue_.pop_front();
        queued_.erase(path);
      }
      busy_ = true;
    }
    try {
      if (damaged) {
        std::lock_guard reading(readerMutex_);
        reader_.reset();
        writer_.reset();
        std::lock_guard lock(mutex_);
        damaged_ = true;  // Open makes it anew
      } else if (resync) {
        Sync(false);
      } else {
        Apply(path);
      }
    } catch (const SqliteError& e) {
      WriteErrorLog(TraceArea::Find, "SqliteError", e.what());
      {
        std::lock_guard reading(readerMutex_);
        reader_.reset();
      }
      writer_.reset();
      std::lock_guard lock(mutex_);
      damaged_ = e.Damaged();
      // What was not written is found again by comparing the stamps once it opens.
      status_ = {IndexStatus::State::Unavailable, 0, 0, e.what()};
    }
    bool drained;
    {
      std::lock_guard lock(mutex_);
      busy_ = false;
      drained = queue_.empty() && !resync_;
    }
    changed_.notify_all();
    if (drained) ReleaseIdleMemory();
  }
}

void ArchiveIndexer::ReleaseIdleMemory() {
  // The pages both connections cached go back: a refresh's saves come in a burst, and
  // between bursts the cache would only hold the process's memory at its high mark.
  if (writer_) sqlite3_db_release_memory(writer_->get());
  {
    std::lock_guard reading(readerMutex_);
    if (reader_) sqlite3_db_release_memory(reader_->get());
  }
  ReleaseFreedMemory();
}

}  // namespace norvane
