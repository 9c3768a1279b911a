// What a batch job tells a person: messages on stderr, the files an
// extraction writes (--verbose) on stdout, and, on a terminal, a progress line
// on stderr that every other line clears first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "package/extraction.h"

namespace vornix {

/// The settings of the whole run and the package being worked on; each
/// thread that works on a package has its own.
struct BatchRun {
  bool Quiet = false;      // --quiet: no progress line
  bool Verbose = false;    // --verbose: extract lists every file it writes
  bool JsonLines = false;  // --json over several packages: one compact document a line
  /// The package as the command line names it (the progress line's label).
  std::string Package;
  /// "2/5" in a run over several packages, empty for one. Messages then
  /// start with the package, so that each can be told apart.
  std::string Counter;
  /// --verbose lists paths relative to this folder (the one named after extract).
  std::filesystem::path ListRoot;
  bool JsonPrinted = false;  // a JSON line went out for the current package
  /// A job on a cabinet inside another file (FILE#N) runs on a private copy;
  /// what it says names the argument, not the copy's path.
  std::string CopyPath;
  std::string CopyShownAs;
  std::string LastError;  // the last failure said, for the JSON line
};

/// The calling thread's.
BatchRun& CurrentRun();

/// A run over several packages at once says what each says in the packages'
/// order, as a run over one after the other would: what a job says waits
/// until the jobs before it have ended, while the first job not yet ended
/// writes straight through, and only its progress line is drawn. One at a
/// time, made and ended on the thread that starts the jobs.
class OrderedOutput {
 public:
  explicit OrderedOutput(size_t jobs);
  ~OrderedOutput();  // anything still held goes out
  OrderedOutput(const OrderedOutput&) = delete;
  OrderedOutput& operator=(const OrderedOutput&) = delete;

  /// The calling thread works on job `index` until the guard goes.
  class Job {
   public:
    explicit Job(size_t index);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
  };
};

/// `text` with the private copy's path (if any) named as the user wrote it.
std::string ShownName(const std::string& text);

/// "vornix: " and `text` on stderr (in a run over several packages, with
/// the package before the text unless the text starts with it).
void Say(const std::string& text);

/// Says `text` as the reason of a failure; returns exit code 1.
int Fail(const std::string& text);

/// --verbose: the path of a file just written, relative to ListRoot, on stdout.
void ListWritten(const std::filesystem::path& file);

/// Everything the terminal needs to know to show how far an extraction is.
/// The opening decompresses the cabinet's entries into the destination under
/// their staged names (their positions in the listing), telling nobody; so
/// the line is read from there, ten times a second, by a thread of its own.
/// An entry counts once its staged file has its listed size, also after it
/// has moved on.
class ProgressLine {
 public:
  /// `entrySizes`: the listed size of every cabinet entry, by position;
  /// `descriptions`: the positions of the setup descriptions, which the
  /// opening reads first, into memory, and which count as done from the
  /// start. Shows nothing unless stderr is a terminal and --quiet is off.
  ProgressLine(StagedEntries stage, std::vector<int64_t> entrySizes, const std::vector<size_t>& descriptions);
  ~ProgressLine();  // the line is cleared, the thread gone
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  /// Looks at the folders now: the opening has ended, and what it staged
  /// last may move on before the next look.
  void observeNow();

 private:
  void run();
  void observe();

  StagedEntries m_stage;
  size_t m_job;  // in a run over several packages at once
  std::vector<int64_t> m_sizes;
  std::vector<bool> m_counted;
  int64_t m_totalBytes = 0;
  int64_t m_countedFiles = 0, m_countedBytes = 0;
  int64_t m_files = 0, m_bytes = 0;  // what the line shows: never less than before
  std::string m_label;
  std::mutex m_observeLock;  // the figures above, looked at from two threads
  std::mutex m_stopLock;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;
};

/// The progress line's text: "LABEL: 12/40 files, 1.2/5.0 MB", the label
/// shortened from its start to keep the line within `columns`.
std::string ProgressText(const std::string& label, int64_t files, int64_t totalFiles, int64_t bytes, int64_t totalBytes,
                         size_t columns);

}  // namespace vornix
