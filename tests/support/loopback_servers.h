// Starts tools/loopback_servers.py (plain HTTP, a Basic-auth forward proxy and, on request,
// HTTPS with one port per test certificate) for one test, and reads back what its echo path
// received. The servers end with the object, or by themselves when the test process dies.
// Header-only, POSIX; for integration tests of the request object and HttpRequest.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace quorvel::test {

class LoopbackServers {
 public:
  // withTls also makes the certificates and serves HTTPS (https-valid, https-selfsigned,
  // https-expired, https-wrongname, https-wrongusage, https-badsig).
  explicit LoopbackServers(bool withTls = false, int lifetimeSeconds = 120) {
    Start(withTls, lifetimeSeconds);
  }
  ~LoopbackServers() { Stop(); }
  LoopbackServers(const LoopbackServers&) = delete;
  LoopbackServers& operator=(const LoopbackServers&) = delete;

  bool Running() const { return pid_ > 0 && !ports_.empty(); }
  // The port of a listener ("http", "proxy", "https-valid"...); 0 when there is none.
  int Port(const std::string& name) const {
    auto found = ports_.find(name);
    return found == ports_.end() ? 0 : found->second;
  }
  // "host:port" of a listener.
  std::string HostPort(const std::string& name) const {
    return "127.0.0.1:" + std::to_string(Port(name));
  }
  // The URL of path on a listener, with the scheme it speaks.
  std::string Url(const std::string& name, const std::string& path) const {
    const bool tls = name.rfind("https", 0) == 0;
    return (tls ? "https://" : "http://") + HostPort(name) + path;
  }

 private:
  void Start(bool withTls, int lifetimeSeconds) {
    std::vector<std::string> args = {"python3",
                                     std::string(QUORVEL_TEST_TOOLS_DIR) + "/loopback_servers.py",
                                     "--lifetime", std::to_string(lifetimeSeconds)};
    if (withTls) args.push_back("--tls");
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);

    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
      close(in[0]);
      close(in[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];  // the servers exit when this closes, also when this process dies
    if (failed == 0) {
      pid_ = pid;
      ParsePorts(ReadLine(out[0]));
    }
    close(out[0]);
    if (ports_.empty()) Stop();
  }

  void Stop() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }

  // The first line the servers print; empty when none comes within 30 seconds.
  static std::string ReadLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd poller{fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&poller, 1, static_cast<int>(left.count())) <= 0) return "";
      char buffer[256];
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) return "";
      line.append(buffer, static_cast<std::size_t>(got));
    }
    return line.substr(0, line.find('\n'));
  }

  void ParsePorts(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      const std::size_t equals = word.find('=');
      if (equals != std::string::npos)
        ports_[word.substr(0, equals)] = std::stoi(word.substr(equals + 1));
    }
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  std::map<std::string, int> ports_;
};

// A loopback port on which nothing listens (it was free a moment ago).
inline int UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

// What the echo path received: the request line, the header lines in order, the body.
struct ReceivedRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // values trimmed
  std::string body;

  // The header lines as "Name: value", in order, for whole-block comparisons.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& [name, value] : headers)
      lines.push_back(name + ": " + value);
    return lines;
  }
  // Every value of the header name (case ignored), in order.
  std::vector<std::string> Values(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
      if (key.size() == name.size() &&
          std::equal(key.begin(), key.end(), name.begin(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
        values.push_back(value);
      }
    }
    return values;
  }
};

// Parses the body that the echo path answers with; an empty method when it is no echo.
template <typename Bytes>
ReceivedRequest ParseEcho(const Bytes& echo) {
  const std::string text(echo.begin(), echo.end());
  ReceivedRequest request;
  const std::size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos) return request;
  request.body = text.substr(end + 4);
  std::istringstream head(text.substr(0, end));
  std::string line;
  std::getline(head, line);
  std::istringstream requestLine(line);
  requestLine >> request.method >> request.target;
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    request.headers.emplace_back(line.substr(0, colon), value);
  }
  return request;
}

}  // namespace quorvel::test
