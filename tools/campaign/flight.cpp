#include "campaign/flight.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/process.hpp"
#include "common/publish.hpp"
#include "core/text.hpp"

namespace sfmr::campaign {
namespace fs = std::filesystem;
namespace {

// Marks a directory as a flight directory of a campaign, so that a rerun replaces only what it made.
constexpr std::string_view kFlightMark = ".sfmrcampaign-flight";

void write_text(const fs::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

bool is_executable(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// The last non-blank line of a transcript (without its CR), or `fallback` when there is none.
std::string last_line(const fs::path& path, std::string fallback) {
  const std::string text = read_text(path);
  std::string last;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) last = line;
  }
  return last.empty() ? fallback : last;
}

// Makes sure the data of a finished file is on disk before the flight is marked done.
void sync_file(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void fail(FlightResult& r, std::string step, int status, std::string reason) {
  r.done = false;
  r.failed_step = std::move(step);
  r.exit_status = status;
  r.reason = std::move(reason);
}

// Empties (or makes) the flight's directory. A directory there that a campaign did not make is left alone.
void fresh_directory(const fs::path& dir) {
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (!fs::exists(dir / kFlightMark, ec)) {
      throw std::runtime_error(dir.string() + " exists and was not made by sfmrcampaign");
    }
    fs::remove_all(dir, ec);
    if (ec) throw std::runtime_error("cannot remove " + dir.string() + ": " + ec.message());
  }
  fs::create_directories(dir, ec);
  if (ec) throw std::runtime_error("cannot create " + dir.string() + ": " + ec.message());
  write_text(dir / kFlightMark, "");
}

// The first input of the flight that cannot be read, as the reason for its failure; empty when all can.
std::string missing_input(const Flight& f) {
  const std::pair<const char*, const fs::path*> inputs[] = {
      {"raw", &f.raw}, {"cal", &f.cal}, {"sst", &f.sst}};
  for (const auto& [what, path] : inputs) {
    if (path->empty()) continue;
    std::error_code ec;
    if (!fs::is_regular_file(*path, ec)) return std::string(what) + " file missing: " + path->string();
    if (::access(path->c_str(), R_OK) != 0)
      return std::string(what) + " file not readable: " + path->string();
  }
  return {};
}

}  // namespace

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Tools find_tools(const std::vector<fs::path>& dirs) {
  Tools t;
  for (const auto& d : dirs) {
    if (is_executable(d / "sfmrbatch")) {
      t.sfmrbatch = d / "sfmrbatch";
      break;
    }
  }
  if (t.sfmrbatch.empty()) return t;
  const fs::path home = t.sfmrbatch.parent_path();
  auto beside = [&](const char* name) -> fs::path {
    for (const auto& p : {home / name, home / "tools" / name}) {
      if (is_executable(p)) return p;
    }
    return {};
  };
  t.sfmr2nc = beside("sfmr2nc");
  t.sfmrplot = beside("sfmrplot");
  t.sfmrsummary = beside("sfmrsummary");
  return t;
}

std::string out_name(const Flight& flight) {
  return flight.name + ".OUT";
}

std::string format_result(const FlightResult& r) {
  std::string s;
  s += std::string("state=") + (r.done ? "done" : "failed") + "\n";
  s += "exit_status=" + std::to_string(r.exit_status) + "\n";
  s += "failed_step=" + r.failed_step + "\n";
  std::string reason = r.reason;
  for (char& c : reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  s += "reason=" + reason + "\n";
  s += "seconds=" + format_trimmed(r.seconds, 3) + "\n";
  for (const auto& st : r.steps) {
    s += "step=" + st.step + " " + std::to_string(st.status) + " " + format_trimmed(st.seconds, 3) + "\n";
  }
  return s;
}

std::optional<FlightResult> parse_result(std::string_view text) {
  FlightResult r;
  bool state_seen = false;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "state") {
      if (value != "done" && value != "failed") return std::nullopt;
      r.done = value == "done";
      state_seen = true;
    } else if (key == "exit_status") {
      std::int32_t v = 0;
      if (!read_value(value, &v)) return std::nullopt;
      r.exit_status = v;
    } else if (key == "failed_step") {
      r.failed_step = value;
    } else if (key == "reason") {
      r.reason = value;
    } else if (key == "seconds") {
      float v = 0.0f;
      if (!read_value(value, &v)) return std::nullopt;
      r.seconds = v;
    } else if (key == "step") {
      StepRecord st;
      const auto a = value.find(' ');
      if (a == std::string::npos) return std::nullopt;
      st.step = value.substr(0, a);
      std::int32_t status = 0;
      float seconds = 0.0f;
      if (read_free(value.substr(a + 1), {&status, &seconds}) != 0) return std::nullopt;
      st.status = status;
      st.seconds = seconds;
      r.steps.push_back(st);
    } else {
      return std::nullopt;
    }
  }
  if (!state_seen) return std::nullopt;
  return r;
}

std::optional<FlightResult> read_result(const fs::path& flight_dir) {
  std::error_code ec;
  const fs::path path = flight_dir / kResultFile;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  return parse_result(read_text(path));
}

bool is_pending(const std::optional<FlightResult>& result, bool retry_failed) {
  return !result || (!result->done && retry_failed);
}

namespace {

// The names of a flight's files in its directory.
struct FlightFiles {
  std::string dat, cal, sst, out;
};

FlightFiles files_of(const Flight& f) {
  return {.dat = f.name + ".dat",
          .cal = f.name + ".cal",
          .sst = f.sst.empty() ? f.name + ".nogrid" : f.name + ".sst",
          .out = out_name(f)};
}

// Links the flight's inputs into its directory and writes its setup file and console answers.
void prepare_inputs(const Flight& f, const FlightFiles& files, const fs::path& dir) {
  std::error_code ec;
  fs::create_symlink(f.raw, dir / files.dat, ec);
  if (!ec) fs::create_symlink(f.cal, dir / files.cal, ec);
  if (!ec && !f.sst.empty()) fs::create_symlink(f.sst, dir / files.sst, ec);
  if (ec) throw std::runtime_error("cannot link the inputs in " + dir.string() + ": " + ec.message());
  // With the SST from the aircraft, the setup names an empty file: sfmrbatch's grid load fails silently
  // and every second takes the aircraft's SST.
  if (f.sst.empty()) write_text(dir / files.sst, "");
  write_text(dir / (f.name + ".setup"), setup_text(f, files.dat, files.cal, files.sst));
  write_text(dir / "answers.txt", f.name + ".setup\n");
}

// A step: a tool run in the flight's directory, its standard streams in files, and the products it must
// leave there.
struct Step {
  std::string name;
  std::vector<std::string> argv;
  fs::path in, stdout_file, stderr_file;
  std::vector<std::string> products;
};

// The steps after sfmrbatch, each reading its output file alone, for the tools that were found.
std::vector<Step> steps_after(const Flight& f, const FlightFiles& files, const fs::path& dir,
                              const fs::path& outdir, const Tools& tools) {
  std::vector<Step> after;
  if (!tools.sfmr2nc.empty()) {
    const fs::path log = dir / "sfmr2nc.log";
    after.push_back(
        {"sfmr2nc",
         {tools.sfmr2nc.string(), files.out, files.dat, "--setup", f.name + ".setup", "-o", f.name + ".nc"},
         {},
         log,
         log,
         {f.name + ".nc"}});
  }
  if (!tools.sfmrplot.empty()) {
    const fs::path log = dir / "sfmrplot.log";
    // The flights of a campaign share one cache of map coastlines (most flights of a storm share regions).
    after.push_back(
        {"sfmrplot",
         {tools.sfmrplot.string(), files.out, "-o", f.name, "--cache", (outdir / ".plot-cache").string()},
         {},
         log,
         log,
         {f.name + ".timeseries.png", f.name + ".map.png"}});
  }
  if (!tools.sfmrsummary.empty()) {
    after.push_back({"sfmrsummary",
                     {tools.sfmrsummary.string(), files.out, "--console", std::string(kConsoleFile), "--csv"},
                     {},
                     dir / kSummaryFile,
                     dir / "sfmrsummary.log",
                     {std::string(kSummaryFile)}});
  }
  return after;
}

// Records a finished step in `r`; false when it did not succeed, with the failure recorded unless an
// earlier step's is (the flight's reason is the first failure).
bool record(const Step& s, const tool::ChildResult& o, const fs::path& dir, FlightResult& r) {
  const int status = o.shell_status();
  r.steps.push_back({s.name, status, o.seconds});
  const auto failed = [&](const std::string& why) {
    if (r.done) fail(r, s.name, status, why);
    return false;
  };
  if (status != 0) return failed(o.failure_line(s.name, last_line(s.stderr_file, "no message")));
  std::error_code ec;
  for (const auto& product : s.products) {
    if (!fs::is_regular_file(dir / product, ec))
      return failed(s.name + ": no " + product + " written; " + last_line(s.stderr_file, "no message"));
    sync_file(dir / product);
  }
  return true;
}

// Runs the steps side by side and records them in their order; false when one did not succeed.
bool run_steps(const std::vector<Step>& steps, const fs::path& dir, FlightResult& r) {
  std::vector<tool::ChildCommand> commands;
  for (const Step& s : steps)
    commands.push_back({.argv = s.argv,
                        .dir = dir,
                        .in_file = s.in,
                        .out = tool::Sink::kFile,
                        .err = tool::Sink::kFile,
                        .out_file = s.stdout_file,
                        .err_file = s.stderr_file});
  const std::vector<tool::ChildResult> results = tool::run_children(commands);
  bool ok = true;
  for (std::size_t k = 0; k < steps.size(); ++k) ok = record(steps[k], results[k], dir, r) && ok;
  return ok;
}

}  // namespace

FlightResult run_flight(const Flight& f, const fs::path& outdir, const Tools& tools) {
  const auto start = std::chrono::steady_clock::now();
  const fs::path dir = outdir / f.name;
  fresh_directory(dir);
  FlightResult r;
  r.done = true;
  if (const std::string why = missing_input(f); !why.empty()) {
    fail(r, "inputs", 1, why);
  } else if (tools.sfmrbatch.empty()) {
    fail(r, "sfmrbatch", 1, "sfmrbatch not found");
  } else {
    const FlightFiles files = files_of(f);
    prepare_inputs(f, files, dir);
    const fs::path console = dir / kConsoleFile;
    // The steps after sfmrbatch each read its output file alone, so they run side by side: on a machine
    // of several cores a flight takes the time of its longest step, not of their sum.
    if (run_steps(
            {{"sfmrbatch", {tools.sfmrbatch.string()}, dir / "answers.txt", console, console, {files.out}}},
            dir, r))
      run_steps(steps_after(f, files, dir, outdir, tools), dir, r);
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Replaces the result of an earlier run, which this campaign wrote.
  tool::publish_text(dir / kResultFile, format_result(r), tool::Replace::kAlways);
  return r;
}

}  // namespace sfmr::campaign
