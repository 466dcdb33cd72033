#include "bench/latency/pulse_server.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace kestu::latency {

namespace {

// A pactl command's output, or nothing when it failed. pactl is bounded by `timeout`, and speaks
// English so that its listing can be read.
std::optional<std::string> Pactl(const std::string& arguments) {
  const std::string command = "LC_ALL=C timeout 5 pactl " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = ::pclose(pipe);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

// The lines of the listing block ("Sink #0", "Sink Input #3", ...) in which `wanted` appears.
std::vector<std::string> BlockContaining(const std::string& listing, const std::string& header,
                                         const std::string& wanted) {
  std::vector<std::string> block;
  bool found = false;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(header, 0) == 0) {
      if (found) return block;
      block.clear();
    }
    block.push_back(line);
    if (line.find(wanted) != std::string::npos) found = true;
  }
  return found ? block : std::vector<std::string>{};
}

long FieldInBlock(const std::vector<std::string>& block, const std::string& label, const std::string& key) {
  for (const std::string& line : block) {
    if (line.find(label) != std::string::npos) return MicrosecondsAfter(line, key);
  }
  return -1;
}

}  // namespace

long MicrosecondsAfter(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return -1;
  const char* start = line.c_str() + at + key.size();
  char* end = nullptr;
  const double value = std::strtod(start, &end);
  if (end == start || value < 0) return -1;
  return static_cast<long>(value);
}

std::unique_ptr<PulseServer> PulseServer::StartPrivate(std::uint32_t rate, std::string& error) {
  char folder[] = "/tmp/kestu-latency-pulse-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    error = "cannot make a folder for the PulseAudio server";
    return nullptr;
  }
  std::unique_ptr<PulseServer> server(new PulseServer);
  server->sink_ = "null";
  server->private_ = std::make_unique<test::PrivatePulse>(folder);
  if (!server->private_->Start(error, rate, true)) {
    server->private_.reset();  // its folder and log stay for whoever reads the message
    return nullptr;
  }
  server->folder_ = folder;
  if (!server->ReadSinkRate(error)) return nullptr;
  return server;
}

std::unique_ptr<PulseServer> PulseServer::UseExisting(const std::string& sink, std::string& error) {
  std::unique_ptr<PulseServer> server(new PulseServer);
  server->sink_ = sink;
  if (!Pactl("info")) {
    error = "no PulseAudio server answers in this environment";
    return nullptr;
  }
  if (!server->ReadSinkRate(error)) return nullptr;
  return server;
}

bool PulseServer::ReadSinkRate(std::string& error) {
  const std::optional<std::string> sinks = Pactl("list sinks");
  const std::vector<std::string> block =
      sinks ? BlockContaining(*sinks, "Sink #", "Name: " + sink_) : std::vector<std::string>{};
  for (const std::string& line : block) {
    // pactl's sample format line, e.g. "Sample ...: s16le 2ch 48000Hz".
    const std::size_t at = line.find("Sample ");
    const std::size_t hz = line.find("Hz");
    if (at == std::string::npos || hz == std::string::npos) continue;
    const std::size_t space = line.rfind(' ', hz);
    sinkRate_ = static_cast<std::uint32_t>(std::strtoul(line.c_str() + space + 1, nullptr, 10));
  }
  if (sinkRate_ == 0) {
    error = "the server has no sink named \"" + sink_ + "\"";
    return false;
  }
  return true;
}

PulseServer::~PulseServer() {
  private_.reset();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool PulseServer::WaitUntilAwake(std::chrono::milliseconds limit) const {
  return test::WaitFor(
      [&] {
        const std::optional<SinkLatency> latency = QuerySink();
        return latency && latency->nowUs >= 0 && latency->nowUs < 100000;
      },
      limit);
}

std::optional<SinkLatency> PulseServer::QuerySink() const {
  const std::optional<std::string> sinks = Pactl("list sinks");
  if (!sinks) return std::nullopt;
  const std::vector<std::string> block = BlockContaining(*sinks, "Sink #", "Name: " + sink_);
  if (block.empty()) return std::nullopt;
  return SinkLatency{FieldInBlock(block, "\tLatency:", "Latency:"),
                     FieldInBlock(block, "\tLatency:", "configured")};
}

std::optional<StreamLatency> PulseServer::QueryStream(const std::string& application) const {
  const std::optional<std::string> inputs = Pactl("list sink-inputs");
  if (!inputs) return std::nullopt;
  const std::vector<std::string> block =
      BlockContaining(*inputs, "Sink Input #", "application.name = \"" + application + "\"");
  if (block.empty()) return std::nullopt;
  return StreamLatency{FieldInBlock(block, "Buffer Latency:", "Buffer Latency:"),
                       FieldInBlock(block, "Sink Latency:", "Sink Latency:")};
}

}  // namespace kestu::latency
