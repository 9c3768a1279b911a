#include "app/batch_output.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>

#include "app/batch.h"
#include "common/text.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

// One writer at a time on stderr and stdout, so that a message or a listed
// file never lands in the middle of the progress line.
std::mutex g_lock;
size_t g_shown = 0;              // columns the progress line takes on the terminal, 0 when none
std::string g_drawn;             // its text
const void* g_drawer = nullptr;  // the progress line that drew it

constexpr size_t kNoJob = static_cast<size_t>(-1);

// A run over several packages at once (OrderedOutput).
struct Ordering {
  struct Line {
    bool ToStdout;
    std::string Text;
  };
  size_t Front = 0;  // the first job not yet ended
  std::vector<bool> Ended;
  std::vector<std::vector<Line>> Held;
};
Ordering* g_ordering = nullptr;
thread_local size_t t_job = kNoJob;

// Columns of UTF-8 text, one a character.
size_t Columns(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The last `n` characters of UTF-8 text.
std::string LastColumns(const std::string& text, size_t n) {
  size_t at = text.size();
  for (size_t kept = 0; at > 0 && kept < n;) {
    --at;
    if ((text[at] & 0xC0) != 0x80) ++kept;
  }
  return text.substr(at);
}

// The first `n` characters of UTF-8 text.
std::string FirstColumns(const std::string& text, size_t n) {
  size_t at = 0;
  for (size_t kept = 0; at < text.size(); ++at) {
    if ((text[at] & 0xC0) != 0x80 && kept++ == n) break;
  }
  return text.substr(0, at);
}

// Spaces over the line and back to its start: plain characters, which every
// terminal understands.
void ClearLineLocked() {
  if (g_shown == 0) return;
  std::cerr << '\r' << std::string(g_shown, ' ') << '\r' << std::flush;
  g_shown = 0;
  g_drawn.clear();
  g_drawer = nullptr;
}

void WriteLocked(bool toStdout, const std::string& text) {
  ClearLineLocked();
  (toStdout ? std::cout : std::cerr) << text << std::flush;
}

// A line of job `job`'s, written now or held until its turn.
void EmitLocked(size_t job, bool toStdout, std::string text) {
  if (g_ordering && job != kNoJob && job != g_ordering->Front)
    g_ordering->Held[job].push_back({toStdout, std::move(text)});
  else
    WriteLocked(toStdout, text);
}

// Job `job`'s progress line is the one on the terminal.
bool ShowsProgressLocked(size_t job) { return !g_ordering || job == kNoJob || job == g_ordering->Front; }

void DrawLocked(const void* drawer, const std::string& text) {
  g_drawer = drawer;
  if (g_shown != 0 && text == g_drawn) return;
  const size_t width = Columns(text);
  std::cerr << '\r' << text;
  if (width < g_shown) std::cerr << std::string(g_shown - width, ' ');
  std::cerr << std::flush;
  g_shown = std::max(g_shown, width);
  g_drawn = text;
}

size_t TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// "1.2/5.0 MB": both in the unit the total needs; what is done is never
// rounded up to look finished.
std::string Amounts(int64_t done, int64_t total) {
  if (total < 1000) return Format("%lld/%lld B", static_cast<long long>(done), static_cast<long long>(total));
  static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
  double scale = 1000;
  size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && static_cast<double>(total) >= scale * 1000) {
    scale *= 1000;
    ++unit;
  }
  const double whole = static_cast<double>(total) / scale;
  const double shown = done >= total ? whole : std::floor(static_cast<double>(done) * 10 / scale) / 10;
  return Format("%.1f/%.1f %s", shown, whole, kUnits[unit]);
}

}  // namespace

BatchRun& CurrentRun() {
  thread_local BatchRun run;
  return run;
}

OrderedOutput::OrderedOutput(size_t jobs) {
  std::lock_guard lock(g_lock);
  g_ordering = new Ordering{0, std::vector<bool>(jobs), std::vector<std::vector<Ordering::Line>>(jobs)};
}

OrderedOutput::~OrderedOutput() {
  std::lock_guard lock(g_lock);
  // Jobs that never started (a stop signal came) hold nothing; the others
  // have all ended, so everything held goes out in their order.
  for (size_t job = g_ordering->Front; job < g_ordering->Held.size(); ++job)
    for (const Ordering::Line& line : g_ordering->Held[job]) WriteLocked(line.ToStdout, line.Text);
  delete g_ordering;
  g_ordering = nullptr;
}

OrderedOutput::Job::Job(size_t index) { t_job = index; }

OrderedOutput::Job::~Job() {
  std::lock_guard lock(g_lock);
  Ordering& order = *g_ordering;
  order.Ended[t_job] = true;
  t_job = kNoJob;
  // What the jobs that ended meanwhile held goes out, up to the first still
  // running, which writes its own from now on.
  while (order.Front < order.Held.size()) {
    for (const Ordering::Line& line : order.Held[order.Front]) WriteLocked(line.ToStdout, line.Text);
    order.Held[order.Front].clear();
    order.Held[order.Front].shrink_to_fit();
    if (!order.Ended[order.Front]) break;
    ++order.Front;
  }
}

std::string ShownName(const std::string& text) {
  const BatchRun& run = CurrentRun();
  return run.CopyPath.empty() ? text : ReplaceAll(text, run.CopyPath, run.CopyShownAs);
}

void Say(const std::string& text) {
  const BatchRun& run = CurrentRun();
  std::string line = "vornix: ";
  if (!run.Counter.empty() && text.rfind(run.Package + " :", 0) != 0) line += run.Package + ": ";
  line += ShownName(text);
  line += '\n';
  std::lock_guard lock(g_lock);
  EmitLocked(t_job, false, std::move(line));
}

int Fail(const std::string& text) {
  Say(text);
  CurrentRun().LastError = text;
  return kExitFailed;
}

void ListWritten(const fs::path& file) {
  const BatchRun& run = CurrentRun();
  if (!run.Verbose) return;
  fs::path shown = run.ListRoot.empty() ? file : file.lexically_relative(run.ListRoot);
  if (shown.empty()) shown = file;
  std::lock_guard lock(g_lock);
  EmitLocked(t_job, true, shown.string() + '\n');
}

std::string ProgressText(const std::string& label, int64_t files, int64_t totalFiles, int64_t bytes, int64_t totalBytes,
                         size_t columns) {
  const std::string head = "vornix: ";
  const std::string figures =
      Format(": %lld/%lld files, ", static_cast<long long>(files), static_cast<long long>(totalFiles)) +
      Amounts(bytes, totalBytes);
  // The last column stays free: a line that reaches it wraps on some terminals.
  const size_t room = columns > 1 ? columns - 1 : 1;
  const size_t fixed = head.size() + figures.size();
  std::string name = label;
  if (fixed + Columns(name) > room) name = room >= fixed + 4 ? "..." + LastColumns(name, room - fixed - 3) : "";
  return FirstColumns(head + name + figures, room);
}

ProgressLine::ProgressLine(StagedEntries stage, std::vector<int64_t> entrySizes,
                           const std::vector<size_t>& descriptions)
    : m_stage(std::move(stage)), m_job(t_job), m_sizes(std::move(entrySizes)) {
  const BatchRun& settings = CurrentRun();
  if (settings.Quiet || !isatty(STDERR_FILENO) || m_sizes.empty()) return;
  m_counted.assign(m_sizes.size(), false);
  for (int64_t size : m_sizes) m_totalBytes += size;
  for (size_t index : descriptions) {
    if (index >= m_sizes.size() || m_counted[index]) continue;
    m_counted[index] = true;
    ++m_countedFiles;
    m_countedBytes += m_sizes[index];
  }
  m_label = settings.Counter.empty() ? settings.Package : "[" + settings.Counter + "] " + settings.Package;
  // SIGINT and SIGTERM are for the job's own thread, which stops the job.
  sigset_t stops, before;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, &before);
  m_thread = std::thread([this] { run(); });
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

ProgressLine::~ProgressLine() {
  if (!m_thread.joinable()) return;
  {
    std::lock_guard stop(m_stopLock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
  std::lock_guard lock(g_lock);
  if (g_drawer == this) ClearLineLocked();
}

// At most ten lines a second, whatever the job does meanwhile.
void ProgressLine::run() {
  std::unique_lock stop(m_stopLock);
  while (!m_stop) {
    stop.unlock();
    std::string text;
    {
      std::lock_guard observing(m_observeLock);
      observe();
      text = ProgressText(m_label, m_files, static_cast<int64_t>(m_sizes.size()), m_bytes, m_totalBytes,
                          TerminalColumns());
    }
    {
      std::lock_guard lock(g_lock);
      if (ShowsProgressLocked(m_job)) DrawLocked(this, text);
    }
    stop.lock();
    m_wake.wait_for(stop, std::chrono::milliseconds(100), [this] { return m_stop; });
  }
}

void ProgressLine::observeNow() {
  if (!m_thread.joinable()) return;
  std::lock_guard observing(m_observeLock);
  observe();
}

void ProgressLine::observe() {
  int64_t partial = 0;
  std::error_code ec;
  for (fs::directory_iterator it(m_stage.Folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::optional<size_t> staged = m_stage.indexOf(it->path().filename().string());
    if (!staged || *staged >= m_sizes.size() || m_counted[*staged]) continue;
    const size_t index = *staged;
    std::error_code sizeError;
    const auto size = static_cast<int64_t>(fs::file_size(it->path(), sizeError));
    if (sizeError) continue;
    if (size < m_sizes[index]) {
      partial += size;
      continue;
    }
    m_counted[index] = true;
    ++m_countedFiles;
    m_countedBytes += m_sizes[index];
  }
  const auto totalFiles = static_cast<int64_t>(m_sizes.size());
  m_files = std::max(m_files, std::min(totalFiles, m_countedFiles));
  m_bytes = std::max(m_bytes, std::min(m_totalBytes, m_countedBytes + partial));
}

}  // namespace vornix
