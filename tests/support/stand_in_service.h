// Starts tools/stand_in_service.py on a free loopback port for one test and stops it again.
// The service also stops by itself when the test process dies or after a bounded lifetime.
// Header-only, POSIX; for tests that talk to the service over HTTPS.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace quorvel::test {

struct StandInOptions {
  std::string fault;          // empty, or one of the service's --fault names
  double queueSeconds = 10;   // how long a new job is queued
  double workSeconds = 20;    // how long it is then worked on
  double delaySeconds = 0;    // how long each answer waits
  std::string logPath;        // empty: log to stderr only
  int lifetimeSeconds = 300;  // the service stops by itself after this long
};

class StandInService {
 public:
  explicit StandInService(const StandInOptions& options = {}) { Start(options); }
  ~StandInService() { Stop(); }
  StandInService(const StandInService&) = delete;
  StandInService& operator=(const StandInService&) = delete;

  // The port it listens on; 0 when it did not start.
  int Port() const { return port_; }
  // "127.0.0.1:port", the service host to give the client.
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

  // Sends SIGTERM and waits for the process; safe to call twice.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
      usleep(50000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    port_ = 0;
  }

 private:
  void Start(const StandInOptions& options) {
    std::vector<std::string> args = {"python3",
                                     std::string(QUORVEL_SOURCE_DIR) + "/tools/stand_in_service.py",
                                     "--port",
                                     "0",
                                     "--exit-with-parent",
                                     "--lifetime",
                                     std::to_string(options.lifetimeSeconds),
                                     "--queue-seconds",
                                     std::to_string(options.queueSeconds),
                                     "--work-seconds",
                                     std::to_string(options.workSeconds),
                                     "--delay",
                                     std::to_string(options.delaySeconds)};
    if (!options.fault.empty()) args.insert(args.end(), {"--fault", options.fault});
    if (!options.logPath.empty()) args.insert(args.end(), {"--log", options.logPath});
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (failed == 0) {
      pid_ = pid;
      port_ = ReadPort(out[0]);
    }
    close(out[0]);
    if (port_ == 0) Stop();
  }

  // The number on the first line the service prints; 0 when none comes within 30 seconds.
  static int ReadPort(int fd) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd poller{fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&poller, 1, static_cast<int>(left.count())) <= 0) return 0;
      char buffer[64];
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) return 0;
      line.append(buffer, static_cast<std::size_t>(got));
    }
    return std::atoi(line.c_str());
  }

  pid_t pid_ = -1;
  int port_ = 0;
};

// A loopback port on which nothing listens (it was free a moment ago); 0 on failure.
inline int UnusedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

}  // namespace quorvel::test
